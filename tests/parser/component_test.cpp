#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "lumora/dom/dom_exception.h"
#include "lumora/dtd/document_type.h"
#include "lumora/framework/exception.h"
#include "lumora/framework/registry.h"
#include "lumora/framework/strings.h"
#include "lumora/text/iconv_encodings.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;
using testing::Written;

TEST(ParserComponent, DefaultsAndProperties) {
  TKaOrvane parser(nullptr);
  EXPECT_FALSE(parser.GetStandardXML());
  EXPECT_FALSE(parser.GetValidateDocument());
  EXPECT_TRUE(parser.GetFormatedOutput());
  EXPECT_TRUE(parser.GetRetrieveInternetURI());
  EXPECT_EQ(parser.GetDefaultEncoding(), US_ASCII);
  EXPECT_EQ(parser.GetParserMode(), 'd');
  parser.SetDefEncoding(n_sup);
  EXPECT_EQ(parser.GetDefaultEncoding(), US_ASCII);
  TStringList names;
  parser.SupportedEncodings(names);
  // The thirteen with tables first, then those that iconv converts.
  ASSERT_EQ(names.Count(), 13 + kIconvCharsetCount);
  EXPECT_EQ(names[0], "ISO-8859-1");
  EXPECT_EQ(names[12], "UTF-16");
  EXPECT_EQ(names[13], kIconvCharsets[0].Name);
  for (int i = 0; i < names.Count(); ++i)
    EXPECT_EQ(EncodingToString(StringToEncoding(names[i])), names[i]);
}

TEST(ParserComponent, ParseCreatesOrReusesTheDocument) {
  TKaOrvane parser(nullptr);
  TStringStream first("<a/>");
  std::unique_ptr<TKaXMLDocument> doc;
  EXPECT_TRUE(parser.Parse(first, doc));
  ASSERT_TRUE(doc);
  TKaXMLDocument* same = doc.get();
  TStringStream second("<b/>");
  second.SetPosition(2);  // streams are read from their first byte
  EXPECT_TRUE(parser.Parse(second, doc));
  EXPECT_EQ(doc.get(), same);
  EXPECT_EQ(doc->GetDocumentElement()->GetName(), u"b");
}

TEST(ParserComponent, EncodingComesFromTheMarkOrTheOwnersDefault) {
  TComponent owner(nullptr);
  auto* owned = new TKaOrvane(&owner);
  owned->SetDefEncoding(i8859_2);
  auto doc = ParseText(*owned, "<a>\xAB</a>");
  EXPECT_EQ(doc->GetOutputEncoding(), i8859_2);
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"\u0164");

  // UTF-16 with a byte-order mark, in both orders.
  const std::string be("\xFE\xFF\0<\0a\0>\x04\x10\0<\0/\0a\0>", 18);
  const std::string le("\xFF\xFE<\0a\0>\0\x10\x04<\0/\0a\0>\0", 18);
  for (const std::string& bytes : {be, le}) {
    auto wide = ParseText(*owned, bytes);
    EXPECT_EQ(wide->GetOutputEncoding(), UTF_16);
    EXPECT_EQ(wide->GetDocumentElement()->GetFirstCharData()->GetValue(), u"\u0410");
  }
}

TEST(ParserComponent, Utf8ByteOrderMarkSelectsUtf8) {
  TComponent owner(nullptr);
  auto* owned = new TKaOrvane(&owner);  // default encoding US-ASCII
  auto doc = ParseText(*owned, "\xEF\xBB\xBF<a>caf\xC3\xA9</a>");
  EXPECT_EQ(doc->GetOutputEncoding(), UTF_8);
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"caf\u00E9");
  EXPECT_TRUE(owned->GetInvalidChars().empty());
}

// Without an owner there is no default encoding to apply: a document that
// names none is UTF-8, as XML has it, and bytes that are not are an error.
TEST(ParserComponent, UndeclaredInputIsUtf8WithoutAnOwner) {
  TKaOrvane parser(nullptr);
  auto doc = ParseText(parser, "<a>caf\xC3\xA9</a>");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"caf\u00E9");
  try {
    ParseText(parser, "<a>\ncaf\xE9</a>");
    FAIL();
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.Message(), "Byte 0xE9 is not UTF-8; is the document in another encoding?");
    EXPECT_EQ(e.GetLine(), 2);
    EXPECT_EQ(e.GetColumn(), 4);
  }
  // An owner's default applies, US-ASCII unless set.
  TComponent owner(nullptr);
  TKaOrvane owned(&owner);
  EXPECT_THROW(ParseText(owned, "<a>caf\xC3\xA9</a>"), EKaOrvaneError);
}

TEST(ParserComponent, ErrorsCarryLineAndFileName) {
  char path[] = "/tmp/lumora-parse-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "<a>\n\n<b></a>";
  TKaOrvane parser(nullptr);
  std::unique_ptr<TKaXMLDocument> doc;
  try {
    parser.Parse(path, doc);
    FAIL();
  } catch (const EKaOrvaneError& e) {
    EXPECT_EQ(e.GetFileName(), path);
    EXPECT_EQ(e.GetLine(), 3);
    EXPECT_EQ(e.GetExtLine(), 0);
  }
  // The partly built tree stays in the document.
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstChild()->GetName(), u"b");
  std::remove(path);
  try {
    parser.Parse(path, doc);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), std::string("Error creating file stream for ") + path);
  }
}

TEST(ParserComponent, ValidationRulesOfTheDriver) {
  TKaOrvane parser(nullptr);
  EXPECT_FALSE(parser.Validate(nullptr));
  ASSERT_EQ(parser.GetErrors().Count(), 1);
  EXPECT_EQ(parser.GetErrors()[0]->GetMessage(), "[XML]: The document is empty.");
  EXPECT_EQ(parser.GetErrors()[0]->GetNode(), nullptr);

  parser.SetValidateDocument(true);
  TStringStream plain("<a/>");
  std::unique_ptr<TKaXMLDocument> doc;
  EXPECT_FALSE(parser.Parse(plain, doc));
  ASSERT_EQ(parser.GetErrors().Count(), 1);
  EXPECT_EQ(parser.GetErrors()[0]->GetMessage(), "[XML]: Document type declaration not found.");

  doc->SetVersion("1.1");
  EXPECT_FALSE(parser.Validate(doc.get()));
  EXPECT_EQ(parser.GetErrors()[0]->GetMessage(), "[XML]: Unsupported version number \"1.1\".");

  TStringStream named("<!DOCTYPE Root><root/>");
  EXPECT_FALSE(parser.Parse(named, doc));
  TStringList messages;
  parser.GetErrors().CreateMessagesList(messages);
  EXPECT_EQ(messages.Lines(),
            (std::vector<std::string>{
                "[DTD]: Root name \"Root\" in declaration does not match root name \"root\" in "
                "document.",
                "[Element \"root\"]: Element is not declared."}));
}

TEST(ParserComponent, DocumentsOutliveTheirParser) {
  std::unique_ptr<TKaXMLDocument> doc;
  {
    TKaOrvane parser(nullptr);
    parser.SetFormatedOutput(false);
    TStringStream stream("<a><b/></a>");
    parser.Parse(stream, doc);
    EXPECT_EQ(doc->GetParser(), &parser);
  }
  EXPECT_EQ(doc->GetParser(), nullptr);
  EXPECT_EQ(Written(*doc), "<?xml version = \"1.0\"?>\r\n\r\n<a>\r\n   <b/>\r\n</a>");
}

TEST(ParserComponent, VersionComesFromTheHostsPackageFile) {
  TKaOrvane parser(nullptr);
  TRegistry::HostClear();
  EXPECT_EQ(parser.GetVersion(), "0.0.0.0");
  char dir[] = "/tmp/lumora-ide-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string packageFile = std::string(dir) + "/lib\\lumora.bpl";
  std::ofstream(packageFile) << "package";
  TRegistry::HostSetString(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Borland\\Delphi\\6.0", "RootDir", dir);
  TRegistry::HostSetString(HKEY_CURRENT_USER, "\\SOFTWARE\\Borland\\Delphi\\6.0\\Library",
                           "Search Path", "/nowhere;$(DELPHI)/lib");
  EXPECT_EQ(parser.GetVersion(), "0.1.0.0");
  TRegistry::HostClear();
  std::remove(packageFile.c_str());
  rmdir(dir);
}

}  // namespace
}  // namespace lumora
