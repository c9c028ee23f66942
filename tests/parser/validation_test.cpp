// Validation of whole documents as the parser runs it: the document-level
// rules, and what the error list keeps.
#include <string>
#include <vector>

#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

std::vector<std::string> Validated(const std::string& text,
                                   std::unique_ptr<TKaXMLDocument>* kept = nullptr) {
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  parser.SetValidateDocument(true);
  auto doc = ParseText(parser, text);
  std::vector<std::string> messages;
  for (const TKaError* e : parser.GetErrors()) messages.push_back(e->GetMessage());
  if (kept) {
    doc->AssignParser(nullptr);
    *kept = std::move(doc);
  }
  return messages;
}

TEST(DocumentValidation, DocumentLevelRules) {
  struct Case {
    const char* name;
    std::string doc;
    std::vector<std::string> messages;
  };
  const std::string twice = "[DTD]: Element \"a\" is declared more than once.";
  for (const Case& c : std::vector<Case>{
           {"root name compares exactly",
            "<!DOCTYPE A [<!ELEMENT a EMPTY>]><a/>",
            {"[DTD]: Root name \"A\" in declaration does not match root name \"a\" in "
             "document."}},
           {"declared twice: a message on each",
            "<!DOCTYPE a [<!ELEMENT a EMPTY><!ELEMENT a ANY>]><a/>",
            {twice, twice}},
           {"declared three times",
            "<!DOCTYPE a [<!ELEMENT a EMPTY><!ELEMENT a ANY>"
            "<!ELEMENT a EMPTY>]><a/>",
            {twice, twice, twice, twice, twice, twice}},
           {"standalone with an external entity",
            "<?xml version='1.0' standalone='yes'?><!DOCTYPE a [<!ELEMENT a EMPTY>"
            "<!ENTITY e SYSTEM 'e.xml'><!ENTITY i 'internal'>]><a/>",
            {"[XML]: Wrong document standalone declaration."}},
           {"not standalone",
            "<?xml version='1.0' standalone='no'?><!DOCTYPE a [<!ELEMENT a "
            "EMPTY><!ENTITY e SYSTEM 'e.xml'>]><a/>",
            {}},
           {"unparsed entity without its notation",
            "<!DOCTYPE a [<!ELEMENT a EMPTY><!ENTITY e SYSTEM 'e.gif' NDATA gif>]><a/>",
            {"[Unparsed entity declaration: \"e\"]: Notation name \"gif\" is not declared."}},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Validated(c.doc), c.messages);
  }
}

TEST(DocumentValidation, StandaloneStaysAsWritten) {
  std::unique_ptr<TKaXMLDocument> doc;
  Validated(
      "<?xml version='1.0' standalone='yes'?><!DOCTYPE a [<!ELEMENT a EMPTY>"
      "<!ENTITY e SYSTEM 'e.xml'>]><a/>",
      &doc);
  ASSERT_TRUE(doc);
  const std::string written = Written(*doc);
  EXPECT_NE(written.find("standalone = \"yes\""), std::string::npos) << written;
}

TEST(DocumentValidation, ManyDuplicateDeclarationsAreCappedNotQuadratic) {
  // 20,000 declarations of one name would give 400 million messages.
  std::string doc = "<!DOCTYPE a [";
  for (int i = 0; i < 20000; ++i) doc += "<!ELEMENT a EMPTY>";
  doc += "]><a/>";
  const auto messages = Validated(doc);
  ASSERT_EQ(messages.size(), static_cast<size_t>(kDefaultMaxValidityErrors) + 1);
  EXPECT_EQ(messages.back(), "[XML]: Too many validity errors; only the first 1000 are listed.");
}

TEST(DocumentValidation, ErrorsKeepWhereTheirNodeWasRead) {
  TKaOrvane parser(nullptr);
  parser.SetValidateDocument(true);
  auto doc = ParseText(parser, "<!DOCTYPE a [<!ELEMENT a ANY>]>\n<a>\n <b/></a>");
  ASSERT_EQ(parser.GetErrors().Count(), 1);
  const TKaError& error = *parser.GetErrors()[0];
  EXPECT_EQ(error.GetLine(), 3);
  EXPECT_EQ(error.GetColumn(), 2);
  // The position outlives a change of the node.
  doc->GetDocumentElement()->GetFirstChild()->SetPosition(0, 0);
  EXPECT_EQ(error.GetLine(), 3);
}

}  // namespace
}  // namespace lumora::testing
