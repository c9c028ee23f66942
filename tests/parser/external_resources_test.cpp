// External DTDs and entities read from files: how each is decoded, that the
// document's own declarations bind first, where relative names are looked
// up, and what a faulty resource reports. Each case writes small files to a
// folder of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

std::string Utf16LE(std::u16string_view text) {
  std::string bytes;
  for (const char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::string Utf16BE(std::u16string_view text) {
  std::string bytes;
  for (const char16_t c : text) {
    bytes.push_back(static_cast<char>(c >> 8));
    bytes.push_back(static_cast<char>(c & 0xFF));
  }
  return bytes;
}

class ExternalResources : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("lumora-ext-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Put(const std::string& name, const std::string& bytes) const {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  std::unique_ptr<TKaXMLDocument> Parse(const std::string& file, bool valid = false) {
    parser_.SetStandardXML(true);
    parser_.SetValidateDocument(valid);
    std::unique_ptr<TKaXMLDocument> doc;
    valid_ = parser_.Parse(file, doc);
    return doc;
  }

  // The error the parse of file raises; fails the test when there is none.
  EKaOrvaneError ErrorOf(const std::string& file) {
    try {
      Parse(file);
    } catch (const EKaOrvaneError& e) {
      return e;
    }
    ADD_FAILURE() << "no error for " << file;
    return EKaOrvaneError("");
  }

  static std::u16string ValueOf(const TKaXMLDocument& doc, std::u16string_view entity) {
    const TKaCustomEntityDecl* decl = doc.GetDocumentType()->GetEntityDecl(entity);
    EXPECT_NE(decl, nullptr) << WideToSystem(entity);
    return decl ? decl->GetValue() : u"";
  }

  fs::path dir_;
  TKaOrvane parser_{nullptr};
  bool valid_ = false;
};

TEST_F(ExternalResources, EntitiesDecodeByMarkThenDeclarationThenAsUtf8) {
  struct TCase {
    const char* Name;
    std::string Bytes;
    std::u16string Value;
  };
  const TCase cases[] = {
      {"utf8-decl", "<?xml version='1.0' encoding='UTF-8'?>caf\xC3\xA9", u"caf\u00E9"},
      {"utf8-plain", "caf\xC3\xA9 <b>x</b>", u"caf\u00E9 <b>x</b>"},
      {"utf8-mark", "\xEF\xBB\xBF<?xml encoding=\"utf-8\"?>\xE2\x82\xAC", u"\u20AC"},
      {"utf16le-mark", "\xFF\xFE" + Utf16LE(u"<?xml encoding='UTF-16'?>\u03B1\u03B2"),
       u"\u03B1\u03B2"},
      {"utf16be-mark", "\xFE\xFF" + Utf16BE(u"\u0436<i/>"), u"\u0436<i/>"},
      {"utf16le-bare", Utf16LE(u"<b>\u00E9</b>"), u"<b>\u00E9</b>"},
      {"utf16le-bare-decl", Utf16LE(u"<?xml encoding='UTF-16'?><b/>"), u"<b/>"},
      {"latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>caf\xE9", u"caf\u00E9"},
      {"cp1252", "<?xml encoding='windows-1252'?>\x80 \x93q\x94", u"\u20AC \u201Cq\u201D"},
      {"line-ends", "<?xml encoding='UTF-8'?>\r\na\r\nb\rc", u"\na\nb\nc"},
      {"stylesheet-pi", "<?xml-stylesheet href='s'?>t", u"<?xml-stylesheet href='s'?>t"},
      {"empty", "", u""},
  };
  std::string subset;
  for (const TCase& c : cases) {
    Put(std::string(c.Name) + ".ent", c.Bytes);
    subset += std::string("<!ENTITY ") + c.Name + " SYSTEM '" + c.Name + ".ent'>";
  }
  const auto doc = Parse(Put("doc.xml", "<!DOCTYPE a [" + subset + "]><a/>"));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ValueOf(*doc, SystemToWide(c.Name)), c.Value);
    const auto* decl = doc->GetDocumentType()->GetEntityDecl(SystemToWide(c.Name));
    EXPECT_TRUE(decl->IsRetrieved());
    EXPECT_EQ(decl->GetResourceLocation(), (dir_ / (std::string(c.Name) + ".ent")).string());
  }
}

TEST_F(ExternalResources, FaultyExternalTextNamesItsFileLineAndColumn) {
  struct TCase {
    std::string Bytes;
    const char* Message;
    int Line, Column;
  };
  const TCase cases[] = {
      {"<?xml version='1.0'?>text", "Encoding declaration required", 1, 20},
      {"ok\n\xE9t\xE9", "Byte 0xE9 is not UTF-8; is the document in another encoding?", 2, 1},
      {"\xFF\xFE" + Utf16LE(u"<?xml encoding='ISO-8859-1'?>"),
       "Encoding 'ISO-8859-1' contradicts the UTF-16 byte-order mark.", 1, 30},
      {"a\x01", "Illegal character U+0001.", 1, 2},
      {"<?xml encoding='klingon'?>x", "Encoding 'klingon' is not supported in this version of Orvane.",
       1, 16},
      {"<?xml encoding='UTF-8'", "Unexpected end of file.", 1, 23},
      {"<?xml encoding='UTF-8' standalone='yes'?>x", "Illegal occurence of \"standalone\"", 1, 24},
      {"\xFF\xFE" + Utf16LE(u"x") + "\x41", "The data ends within a UTF-16 character (an odd number of bytes).", 1, 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Message);
    const std::string entity = Put("e.ent", c.Bytes);
    const EKaOrvaneError e =
        ErrorOf(Put("doc.xml", "<!DOCTYPE a [\n<!ENTITY e SYSTEM 'e.ent'>]><a/>"));
    EXPECT_EQ(e.Message(), c.Message);
    EXPECT_EQ(e.GetFileName(), entity);
    EXPECT_EQ(e.GetLine(), c.Line);
    EXPECT_EQ(e.GetColumn(), c.Column);
  }
}

TEST_F(ExternalResources, TheDocumentsOwnDeclarationsBindAndCompleteTheExternalSubset) {
  Put("x.dtd",
      "<?xml version='1.0' encoding='UTF-8'?>\n"
      "<!ENTITY v '1.0'>\n<!ELEMENT a (#PCDATA)>\n<!ATTLIST a %extra; id ID #IMPLIED>\n"
      "<!ENTITY w 'external \xC3\xA9'>\n");
  const auto doc = Parse(
      Put("doc.xml",
          "<!DOCTYPE a SYSTEM 'x.dtd' [<!ENTITY v '2.0'><!ENTITY % extra 'lang CDATA \"en\"'>]>"
          "<a lang='fr' id='i'>t</a>"),
      true);
  EXPECT_TRUE(valid_);
  const TKaDocumentType& doctype = *doc->GetDocumentType();
  EXPECT_TRUE(doctype.IsExternalSubsetRead());
  EXPECT_EQ(doctype.GetExternalLocation(), (dir_ / "x.dtd").string());
  EXPECT_EQ(ValueOf(*doc, u"v"), u"2.0");
  EXPECT_EQ(ValueOf(*doc, u"w"), u"external \u00E9");
  const TKaAttListDecl* list = doctype.GetAttListDecl(u"a");
  ASSERT_NE(list, nullptr);
  EXPECT_NE(list->GetAtt(u"lang"), nullptr);
  EXPECT_NE(list->GetAtt(u"id"), nullptr);
  // What came from the file is marked so; what the document declared is not.
  EXPECT_FALSE(doctype.GetEntityDecl(u"v")->IsExternalDecl());
  EXPECT_FALSE(doctype.GetEntityDecl(u"extra")->IsExternalDecl());
  EXPECT_TRUE(doctype.GetEntityDecl(u"w")->IsExternalDecl());
  EXPECT_TRUE(doctype.GetElementDecl(u"a")->IsExternalDecl());
  EXPECT_TRUE(list->IsExternalDecl());
}

TEST_F(ExternalResources, WhatFollowsTheDeclarationsOfADTDIsAnError) {
  struct TCase {
    const char* Dtd;
    const char* Message;
    int Line;
  };
  const TCase cases[] = {
      {"<!ELEMENT a ANY>\nstray\n", "Illegal occurence of \"stray\"", 2},
      {"<!ELEMENT a ANY>\n\n<a/>", "Illegal occurence of \"<\"", 3},
      {"<!ELEMENT a ANY>\n]>", "Illegal occurence of \"]\"", 2},
      {"<!ENTITY % p '<!ELEMENT a ANY>'>\n%p; x", "Illegal occurence of \"x\"", 2},
      {"<!ELEMENT a (#PCDATA)", "Unexpected end of file.", 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Dtd);
    const std::string dtd = Put("sub/x.dtd", c.Dtd);
    const EKaOrvaneError e = ErrorOf(Put("doc.xml", "<!DOCTYPE a SYSTEM 'sub/x.dtd'><a/>"));
    EXPECT_EQ(e.Message(), c.Message);
    EXPECT_EQ(e.GetFileName(), dtd);
    EXPECT_EQ(e.GetLine(), c.Line);
  }
}

TEST_F(ExternalResources, RelativeNamesResolveAgainstTheResourceThatDeclaresThem) {
  // doc.xml -> dtd/main.dtd -> ents/more.ent (a parameter entity) -> its
  // own e.ent beside it; an internal parameter entity of the DTD declares
  // f.ent, which lies beside the DTD.
  Put("dtd/main.dtd",
      "<!ENTITY % more SYSTEM '../ents/more.ent'>%more;"
      "<!ENTITY % here '<!ENTITY f SYSTEM \"f.ent\">'>%here;");
  Put("ents/more.ent", "<?xml encoding='UTF-8'?><!ENTITY e SYSTEM 'e.ent'>");
  Put("ents/e.ent", "beside more");
  Put("dtd/f.ent", "beside main");
  Put("e.ent", "wrong: beside the document");
  Put("f.ent", "wrong: beside the document");
  const auto doc = Parse(Put("doc.xml", "<!DOCTYPE a SYSTEM 'dtd/main.dtd'><a/>"));
  EXPECT_EQ(ValueOf(*doc, u"e"), u"beside more");
  EXPECT_EQ(ValueOf(*doc, u"f"), u"beside main");
  const TKaDocumentType& doctype = *doc->GetDocumentType();
  EXPECT_EQ(doctype.GetEntityDecl(u"more")->GetBaseLocation(), (dir_ / "dtd/main.dtd").string());
  EXPECT_EQ(doctype.GetEntityDecl(u"e")->GetBaseLocation(), (dir_ / "ents/more.ent").string());
}

TEST_F(ExternalResources, AMissingSubsetOrEntityAddsNothingAndTellsOnce) {
  std::vector<std::string> missing;
  parser_.SetOnFileNotFound(
      [&missing](TObject*, const std::string& name) { missing.push_back(name); });
  const auto doc = Parse(
      Put("doc.xml",
          "<!DOCTYPE a SYSTEM 'Missing.dtd' [<!ENTITY e SYSTEM 'gone.ent'><!ELEMENT a ANY>]><a/>"));
  EXPECT_EQ(missing, (std::vector<std::string>{"gone.ent", "Missing.dtd"}));
  const TKaDocumentType& doctype = *doc->GetDocumentType();
  EXPECT_FALSE(doctype.IsExternalSubsetRead());
  EXPECT_FALSE(doctype.GetEntityDecl(u"e")->IsRetrieved());
  EXPECT_TRUE(doctype.GetReadLocations().empty());
}

}  // namespace
}  // namespace lumora
