#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/exception.h"
#include "lumora/io/wide_output.h"

namespace lumora {
namespace {

using testing::ExpectDOMError;
using testing::ExpectOrvaneError;
using testing::kDecl;
using testing::Written;

// A fresh directory for the files of one test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-doc-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ASCII text as UTF-16 bytes in either order.
std::string Utf16(const std::string& ascii, bool bigEndian) {
  std::string out;
  for (char c : ascii) {
    out += bigEndian ? '\0' : c;
    out += bigEndian ? c : '\0';
  }
  return out;
}

TEST(DocumentDeclaration, NewDocumentWritesTheDeclarationOnly) {
  TKaXMLDocument doc;
  EXPECT_EQ(Written(doc), kDecl);
  EXPECT_EQ(doc.GetOwnerDocument(), &doc);
  EXPECT_EQ(doc.GetType(), DOCUMENT_NODE);
  EXPECT_EQ(doc.GetVersion(), "1.0");
  EXPECT_EQ(doc.GetOutputEncoding(), UTF_8);
  EXPECT_EQ(doc.GetEncoding(), "UTF-8");  // no parser: the output encoding
  EXPECT_EQ(doc.GetByteOrder(), boBigEndian);
  EXPECT_EQ(doc.GetWriteMode(), wmStandard);
  EXPECT_FALSE(doc.GetSystemConversion());
  EXPECT_FALSE(doc.GetStandalone());
  EXPECT_EQ(doc.GetDocumentElement(), nullptr);
  EXPECT_EQ(doc.GetDocumentType(), nullptr);
  EXPECT_TRUE(doc.DomImplementation().HasFeature(u"anything", u"1.0"));
  EXPECT_FALSE(doc.DomImplementation().HasFeature(u"XML", u"2.0"));
}

TEST(DocumentDeclaration, EncodingAndStandaloneKeepTheirOrder) {
  TKaXMLDocument doc;
  doc.SetStandalone(true);
  doc.SetEncoding("iso-8859-2");
  EXPECT_EQ(doc.GetOutputEncoding(), i8859_2);
  EXPECT_EQ(Written(doc),
            "<?xml version = \"1.0\" encoding = \"iso-8859-2\" standalone = \"yes\"?>\r\n");
  EXPECT_EQ(doc.GetEncoding(), "iso-8859-2");
  EXPECT_TRUE(doc.DomImplementation().HasFeature(u"", u"iso-8859-2"));
  EXPECT_FALSE(doc.DomImplementation().HasFeature(u"", u"ISO-8859-2"));

  doc.SetEncoding("UTF-8");  // the same attribute, a new value
  doc.SetStandalone(false);
  doc.SetVersion("1.1");
  EXPECT_EQ(Written(doc), "<?xml version = \"1.1\" encoding = \"UTF-8\" standalone = \"no\"?>\r\n");
  EXPECT_EQ(doc.GetVersion(), "1.1");
  EXPECT_FALSE(doc.GetStandalone());
  doc.FSetAttribute(u"standalone", u"YES");
  EXPECT_TRUE(doc.GetStandalone());
  // The encoding attribute is standard: it cannot be removed.
  ExpectDOMError([&] { doc.RemoveAttribute(u"encoding"); }, INUSE_ATTRIBUTE_ERR,
                 "TKaXMLDocument.removeAttribute: you are trying to remove default attribute "
                 "encoding");
}

TEST(DocumentDeclaration, EncodingWithoutVersionIsAppended) {
  TKaXMLDocument doc;
  doc.SetStandalone(true);
  // The document's own version attribute is standard; the list can still drop it.
  ExpectDOMError([&] { doc.RemoveAttribute(u"version"); }, INUSE_ATTRIBUTE_ERR,
                 "TKaXMLDocument.removeAttribute: you are trying to remove default attribute "
                 "version");
  auto version = doc.RemoveNode(doc.GetAttributeNode(u"version"));
  EXPECT_EQ(doc.GetVersion(), "");
  doc.SetEncoding("US-ASCII");
  EXPECT_EQ(Written(doc), "<?xml standalone = \"yes\" encoding = \"US-ASCII\"?>\r\n");
  doc.SetVersion("1.0");  // made anew, not standard: it can be removed
  EXPECT_NE(doc.RemoveAttribute(u"version"), nullptr);
}

TEST(DocumentDeclaration, UnknownEncodingRaisesWithTheParserPosition) {
  TKaXMLDocument doc;
  doc.SetEncoding("UTF-16");
  EXPECT_EQ(ExpectOrvaneError([&] { doc.SetEncoding("EBCDIC"); },
                              "Encoding 'EBCDIC' is not supported in this version of Orvane.")
                .GetLine(),
            0);
  EXPECT_EQ(doc.GetOutputEncoding(), n_sup);
  EXPECT_EQ(doc.GetEncoding(), "UTF-16");  // the attribute is untouched

  testing::PositionedParser parser(3, "doc.xml");
  TKaXMLDocument parsed;
  parsed.AssignParser(&parser);
  const EKaOrvaneError e = ExpectOrvaneError(
      [&] { parsed.SetEncoding(""); }, "Encoding '' is not supported in this version of Orvane.");
  EXPECT_EQ(e.GetLine(), 3);
  EXPECT_EQ(e.GetFileName(), "doc.xml");
  EXPECT_EQ(parsed.GetAttributeNode(u"encoding"), nullptr);
  // Without an encoding attribute the parser's default encoding is named.
  parser.SetDefaultEncoding(i8859_5);
  EXPECT_EQ(parsed.GetEncoding(), "ISO-8859-5");
  parsed.FSetAttribute(u"encoding", u" \t ");
  EXPECT_EQ(parsed.GetEncoding(), "ISO-8859-5");
}

TEST(DocumentStructure, OneDocumentElementAndTheTypeBeforeIt) {
  TKaXMLDocument doc;
  doc.SetComment(doc.CreateComment(u"prolog"));
  TKaXMLElement* root = doc.SetDocumentElement(doc.CreateElement(u"root"));
  auto second = doc.CreateElement(u"second");
  ExpectDOMError([&] { doc.SetDocumentElement(std::move(second)); }, INVALID_CHARACTER_ERR,
                 "TKaXMLDocument.setDocumentElement: DocumentElement alredy exists");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(doc.GetDocumentElement(), root);
  EXPECT_EQ(root->GetParent(), &doc);

  TKaDocumentType* doctype = doc.SetDocumentType(TKaDocumentType::CreateDTD(u"root", &doc));
  EXPECT_EQ(doc.GetDocumentType(), doctype);
  EXPECT_EQ(doctype->Next(), root);
  EXPECT_EQ(doctype->Previous()->GetType(), COMMENT_NODE);

  auto old = doc.RemoveNode(root);
  EXPECT_EQ(doc.GetDocumentElement(), nullptr);
  EXPECT_EQ(doc.SetDocumentElement(std::move(second))->TagName(), u"second");
}

TEST(DocumentStructure, FactoriesMakeFreeNodesOfThisDocument) {
  TKaXMLDocument doc;
  EXPECT_EQ(doc.CreateElement(u"e")->GetOwnerDocument(), &doc);
  EXPECT_EQ(doc.CreateAttribute(u"a", u"<")->GetValue(), u"<");
  EXPECT_EQ(doc.CreateTextNode(u"<&amp;")->GetValue(), u"<&amp;");
  EXPECT_EQ(doc.CreateDocumentFragment()->GetType(), DOCUMENT_FRAGMENT_NODE);
  const auto ref = doc.CreateEntityReference(u"ent");
  EXPECT_EQ(ref->GetType(), ENTITY_REFERENCE_NODE);
  EXPECT_EQ(ref->GetName(), u"ent");
  EXPECT_EQ(ref->GetParent(), nullptr);
  ExpectDOMError([&] { doc.CreateElement(u"a b"); }, INVALID_CHARACTER_ERR,
                 "TKaXMLDocument.TKaXMLNode.Create(\"a b\"): invalid character(s) for name");
}

TEST(DocumentStructure, ClearLeavesTheVersionAndUsAscii) {
  TKaXMLDocument doc;
  doc.SetEncoding("UTF-16");
  doc.SetStandalone(true);
  doc.SetByteOrder(boLittleEndian);
  doc.SetWriteMode(wmStandalone);
  doc.SetComment(doc.CreateComment(u"c"));
  doc.SetDocumentType(TKaDocumentType::CreateDTD(u"r", &doc));
  doc.SetDocumentElement(doc.CreateElement(u"r"))->SetAttribute(u"a", u"1");
  doc.Clear();
  TKaXMLNode* only = doc.GetFirstNode();
  ASSERT_NE(only, nullptr);
  EXPECT_EQ(only->Next(), nullptr);
  EXPECT_EQ(only->GetName(), u"version");
  EXPECT_EQ(only->GetValue(), u"1.0");
  EXPECT_TRUE(static_cast<TKaXMLAttr*>(only)->StandardAttribute());
  EXPECT_EQ(only->GetParent(), &doc);
  EXPECT_EQ(doc.GetOutputEncoding(), US_ASCII);
  EXPECT_EQ(doc.GetByteOrder(), boLittleEndian);
  EXPECT_EQ(doc.GetWriteMode(), wmStandalone);
  EXPECT_EQ(doc.GetDocumentElement(), nullptr);
  EXPECT_EQ(Written(doc), kDecl);
  // The cleared document is fully usable again.
  doc.SetDocumentElement(doc.CreateElement(u"again"));
  EXPECT_EQ(Written(doc), kDecl + "\r\n<again/>");
}

// The walk and the search over: version, comment, document type "item" with
// declaration "item", element catalog (attribute item = "first value", text,
// element item (attribute key = "ITEM"), PI item).
class Search : public ::testing::Test {
 protected:
  void SetUp() override {
    comment_ = doc_.SetComment(doc_.CreateComment(u"a comment"));
    doctype_ = doc_.SetDocumentType(TKaDocumentType::CreateDTD(u"item", &doc_));
    decl_ = doctype_->GetNodeList().AppendChild(new TKaXMLNode(u"item", ELEMENT_DECL_NODE, &doc_));
    catalog_ = doc_.SetDocumentElement(doc_.CreateElement(u"catalog"));
    catalog_->SetAttribute(u"item", u"first value");
    attr_ = catalog_->GetFirstAttribute();
    text_ = catalog_->SetCharData(doc_.CreateTextNode(u"Some text"));
    item_ = catalog_->AppendChild(doc_.CreateElement(u"item"));
    item_->SetAttribute(u"key", u"ITEM");
    key_ = item_->GetFirstAttribute();
    pi_ = item_->SetPI(doc_.CreateProcessingInstruction(u"item", u"data"));
  }
  TKaXMLDocument doc_;
  TKaXMLNode *comment_, *decl_, *attr_, *text_, *key_, *pi_;
  TKaDocumentType* doctype_;
  TKaXMLElement *catalog_, *item_;
};

TEST_F(Search, TakeNextVisitsEveryNodeInDocumentOrder) {
  const TKaXMLNode* expected[] = {
      &doc_, doc_.GetFirstNode(), comment_, doctype_, decl_, catalog_, attr_, text_, item_, key_,
      pi_};
  const TKaXMLNode* node = &doc_;
  for (const TKaXMLNode* want : expected) {
    EXPECT_EQ(node, want);
    node = doc_.TakeNext(node);
  }
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(doc_.TakeNext(nullptr), nullptr);
  // A free element's walk ends with its subtree.
  auto free = doc_.CreateElement(u"free");
  TKaXMLElement* child = free->AppendChild(doc_.CreateElement(u"child"));
  EXPECT_EQ(doc_.TakeNext(free.get()), child);
  EXPECT_EQ(doc_.TakeNext(child), nullptr);
}

TEST_F(Search, FindByNameValueCaseAndWholeString) {
  const int exact = fnNames | fnWholeString;
  EXPECT_EQ(doc_.Find(u"item", nullptr, exact), decl_);  // declarations come first
  EXPECT_EQ(doc_.Find(u"item", nullptr, exact | fnDocumentType), doctype_);
  // Elements answer only with fnElements; their content is searched anyway.
  EXPECT_EQ(doc_.Find(u"item", catalog_, exact), attr_);
  EXPECT_EQ(doc_.Find(u"item", text_, exact), pi_);
  EXPECT_EQ(doc_.Find(u"item", text_, exact | fnElements), item_);
  EXPECT_EQ(doc_.Find(u"catalog", nullptr, exact), nullptr);
  EXPECT_EQ(doc_.Find(u"CATALOG", nullptr, exact | fnElements), catalog_);
  EXPECT_EQ(doc_.Find(u"CATALOG", nullptr, exact | fnElements | fnCaseSensitive), nullptr);
  // The start node itself is a candidate.
  EXPECT_EQ(doc_.Find(u"item", pi_, exact), pi_);

  EXPECT_EQ(doc_.Find(u"text", nullptr, fnValues), text_);
  EXPECT_EQ(doc_.Find(u"text", nullptr, fnValues | fnWholeString), nullptr);
  EXPECT_EQ(doc_.Find(u"ITEM", nullptr, fnValues | fnCaseSensitive), key_);
  EXPECT_EQ(doc_.Find(u"val", nullptr, fnValues), attr_);
  EXPECT_EQ(doc_.Find(u"val", nullptr, fnNames), nullptr);
  EXPECT_EQ(doc_.Find(u"val", nullptr, 0), nullptr);
  EXPECT_EQ(doc_.Find(u"comment", nullptr, fnValues), comment_);
}

TEST(DocumentSearch, TextCompare) {
  EXPECT_TRUE(TKaXMLDocument::TextCompare(u"abc", u"xABCx", false, false));
  EXPECT_FALSE(TKaXMLDocument::TextCompare(u"abc", u"xABCx", true, false));
  EXPECT_FALSE(TKaXMLDocument::TextCompare(u"abc", u"xABCx", false, true));
  EXPECT_TRUE(TKaXMLDocument::TextCompare(u"abc", u"ABC", false, true));
  EXPECT_TRUE(TKaXMLDocument::TextCompare(u"", u"anything", true, false));
  EXPECT_FALSE(TKaXMLDocument::TextCompare(u"longer", u"long", false, false));
}

TEST(DocumentOutput, Utf16FilesStartWithTheirByteOrderMark) {
  TempDir dir;
  TKaXMLDocument doc;
  doc.SetEncoding("UTF-16");
  doc.SetDocumentElement(doc.CreateElement(u"r"));
  const std::string text = "<?xml version = \"1.0\" encoding = \"UTF-16\"?>\r\n\r\n<r/>";

  doc.WriteToFile(dir.File("be.xml"));
  EXPECT_EQ(ReadFile(dir.File("be.xml")), "\xFE\xFF" + Utf16(text, true));
  EXPECT_EQ(Written(doc), Utf16(text, true));  // a stream gets no mark

  doc.SetByteOrder(boLittleEndian);
  doc.WriteToFile(dir.File("le.xml"));
  EXPECT_EQ(ReadFile(dir.File("le.xml")), "\xFF\xFE" + Utf16(text, false));
  EXPECT_EQ(Written(doc), Utf16(text, false));

  // Writing again replaces the file; other encodings get no mark.
  doc.SetEncoding("UTF-8");
  doc.WriteToFile(dir.File("le.xml"));
  EXPECT_EQ(ReadFile(dir.File("le.xml")),
            "<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n\r\n<r/>");
}

TEST(DocumentOutput, UnrepresentableCharactersAreReported) {
  testing::PositionedParser parser;
  TKaXMLDocument doc;
  doc.AssignParser(&parser);
  doc.SetEncoding("ISO-8859-1");
  TKaXMLElement* root = doc.SetDocumentElement(doc.CreateElement(u"r"));
  // Text and values have references for them; a comment has no escape.
  root->SetAttribute(u"a", u"\u20ac\u00e9");
  root->SetCharData(doc.CreateTextNode(u"\u4e2d\u20ac"));
  root->SetComment(doc.CreateComment(u"\u20ac\u4e2d\U0001F600"));
  EXPECT_EQ(Written(doc),
            "<?xml version = \"1.0\" encoding = \"ISO-8859-1\"?>\r\n\r\n"
            "<r a = \"&#x20AC;\xE9\">&#x4E2D;&#x20AC;<!--____--></r>");
  EXPECT_EQ(doc.GetInvalidChars(), u"\u20ac\u4e2d\U0001F600");
  EXPECT_EQ(parser.GetInvalidChars(), u"\u20ac\u4e2d\U0001F600");

  // Each write reports its own characters only.
  doc.SetEncoding("UTF-8");
  EXPECT_EQ(Written(doc),
            "<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n\r\n"
            "<r a = \"\xE2\x82\xAC\xC3\xA9\">\xE4\xB8\xAD\xE2\x82\xAC"
            "<!--\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80--></r>");
  EXPECT_EQ(doc.GetInvalidChars(), u"");
  EXPECT_EQ(parser.GetInvalidChars(), u"");
  doc.AssignParser(nullptr);
}

TEST(DocumentOutput, NulCharacterDoesNotCutTheDocument) {
  TKaXMLDocument doc;
  doc.SetEncoding("ISO-8859-1");
  doc.SetDocumentElement(doc.CreateElement(u"r"))
      ->SetCharData(doc.CreateTextNode(std::u16string(u"a\0b", 3)));
  EXPECT_EQ(Written(doc), "<?xml version = \"1.0\" encoding = \"ISO-8859-1\"?>\r\n\r\n<r>a_b</r>");
  EXPECT_EQ(doc.GetInvalidChars(), std::u16string(1, u'\0'));
}

TEST(DocumentOutput, SystemConversionOnStreamsOnly) {
  TempDir dir;
  TKaXMLDocument doc;
  doc.SetEncoding("ISO-8859-1");
  doc.SetDocumentElement(doc.CreateElement(u"r"))->SetCharData(doc.CreateTextNode(u"\u00e9"));
  const std::string head = "<?xml version = \"1.0\" encoding = \"ISO-8859-1\"?>\r\n\r\n";
  doc.SetSystemConversion(true);
  EXPECT_EQ(Written(doc), head + "<r>\xC3\xA9</r>");
  doc.WriteToFile(dir.File("f.xml"));
  EXPECT_FALSE(doc.GetSystemConversion());
  EXPECT_EQ(ReadFile(dir.File("f.xml")), head + "<r>\xE9</r>");
}

// A node that notes whether the document is writing to a file, and may fail.
struct Probe : TKaXMLNode {
  Probe(TKaXMLDocument* doc, bool fail) : TKaXMLNode(u"", COMMENT_NODE, doc), fail_(fail) {}
  void Write(TStream& Stream, int /*Level*/) override {
    sawFile_ = GetOwnerDocument()->GetWritingToFile();
    WriteWide(Stream, u"<!--probe-->");
    if (fail_) throw Exception("disk full");
  }
  bool fail_;
  bool sawFile_ = false;
};

TEST(DocumentOutput, WritingToFileFlagLastsForTheWriteOnly) {
  TempDir dir;
  TKaXMLDocument doc;
  auto* probe = static_cast<Probe*>(doc.SetComment(new Probe(&doc, false)));
  doc.WriteToFile(dir.File("ok.xml"));
  EXPECT_TRUE(probe->sawFile_);
  EXPECT_FALSE(doc.GetWritingToFile());
  EXPECT_EQ(ReadFile(dir.File("ok.xml")), kDecl + "<!--probe-->");
  Written(doc);
  EXPECT_FALSE(probe->sawFile_);

  probe->fail_ = true;
  try {
    doc.WriteToFile(dir.File("fail.xml"));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "disk full");
  }
  EXPECT_TRUE(probe->sawFile_);
  EXPECT_FALSE(doc.GetWritingToFile());
  EXPECT_TRUE(std::filesystem::exists(dir.File("fail.xml")));

  const std::string missing = dir.File("no/such/dir.xml");
  try {
    doc.WriteToFile(missing);
    ADD_FAILURE() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Error creating file stream for " + missing);
  }
  EXPECT_FALSE(doc.GetWritingToFile());
}

}  // namespace
}  // namespace lumora
