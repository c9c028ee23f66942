#include <gtest/gtest.h>

#include "lumora/dtd/document_type.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseError;
using testing::ParseText;
using testing::Written;

TEST(DocumentGrammar, RealisticDocumentIsBuiltAndWrittenBack) {
  auto doc = ParseText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- catalogue -->\n"
      "<?xml-stylesheet href=\"a.css\"?>\n"
      "<catalog a=\"1 &amp; 2\">\n"
      "  <book id=\"b1\">Text &lt; here</book>\n"
      "  <empty/>\n"
      "  <![CDATA[x < y &amp;]]><?pi  data?>\n"
      "</catalog>\n");
  TKaXMLElement* root = doc->GetDocumentElement();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetAttribute(u"a"), u"1 & 2");
  EXPECT_EQ(root->GetFirstChild()->GetFirstCharData()->GetValue(), u"Text < here");
  EXPECT_EQ(root->GetFirstCData()->GetValue(), u"x < y &amp;");
  EXPECT_EQ(root->GetFirstPI()->GetValue(), u" data");
  EXPECT_EQ(doc->GetEncoding(), "UTF-8");
  EXPECT_EQ(Written(*doc),
            "<?xml version = \"1.0\" encoding = \"UTF-8\"?>\r\n"
            "\r\n   <!-- catalogue -->"
            "\r\n   <?xml-stylesheet href=\"a.css\"?>"
            "\r\n<catalog a = \"1 &amp; 2\">"  // mixed content: its white space stays
            "\n  <book id = \"b1\">Text &lt; here</book>"
            "\n  <empty/>"
            "\n  <![CDATA[x < y &amp;]]><?pi  data?>"
            "\n</catalog>");
}

TEST(DocumentGrammar, XmlDeclarationRules) {
  auto lax = ParseText("<?xml version=\"1.0\" flavour=\"x\"?><a/>");
  EXPECT_EQ(lax->GetAttribute(u"flavour"), u"x");
  EXPECT_EQ(ParseError("<?xml version=\"1.0\" flavour=\"x\"?><a/>", true).Message(),
            "Illegal occurence of \"flavour\"");
  EXPECT_EQ(ParseError("<?xml encoding=\"UTF-8\" version=\"1.0\"?><a/>").Message(),
            "XML declaration: version declaration required");
  EXPECT_EQ(ParseError("<?xml version=\"1.1\"?><a/>").Message(),
            "Version declaration: version \"1.1\" is not supported.");
  EXPECT_EQ(ParseError("<?xml version=\" \"?><a/>").Message(),
            "Version declaration: version number required");
  EXPECT_EQ(ParseError("<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", true).Message(),
            "Standalone declaration: incorrect attribute value");
  EXPECT_EQ(ParseError("<?xml version=\"1.0\" encoding=\"EBCDIC\"?><a/>").Message(),
            "Encoding 'EBCDIC' is not supported in this version of Orvane.");
  auto standalone = ParseText("<?xml version='1.0' standalone='YES'?><a/>");
  EXPECT_TRUE(standalone->GetStandalone());
}

TEST(DocumentGrammar, ContentRules) {
  auto doc = ParseText("<a>  \n\t </a>");  // no child elements: the white space is content
  EXPECT_TRUE(doc->GetDocumentElement()->HasCharData());
  EXPECT_NO_THROW(ParseText("<a><b>x</></a>"));
  EXPECT_EQ(ParseError("<a><b>x</></a>", true).Message(), "Illegal occurence of \">\"");
  const EKaOrvaneError mismatch = ParseError("<a>\n<b>\n</c></a>");
  EXPECT_EQ(mismatch.Message(), "Start-tag name \"b\" does not match end-tag name \"c\"");
  EXPECT_EQ(mismatch.GetLine(), 3);
  EXPECT_EQ(ParseError("hello <a/>").Message(), "Illegal occurence of \"hello\"");
  EXPECT_EQ(ParseError("<a b='1' c>").Message(), "Illegal occurence of \">\"");
  EXPECT_EQ(ParseError("<a>text").Message(), "Unexpected end of file.");
}

TEST(DocumentGrammar, AttributesAreKeptByTheirExactNames) {
  auto doc = ParseText("<a id='1' ID='2' Id='3'/>");
  TKaNodeList& list = doc->GetDocumentElement()->GetNodeList();
  EXPECT_EQ(list.Length(), 3);
  EXPECT_EQ(list.Item(2, ATTRIBUTE_NODE)->GetValue(), u"2");
  const EKaOrvaneError twice = ParseError("<a x='1'\n x='2'/>");
  EXPECT_EQ(twice.Message(), "Attribute \"x\" is specified more than once.");
  EXPECT_EQ(twice.GetLine(), 2);

  // Many attributes, and a repeated one at the very end of them.
  std::string tag = "<a";
  for (int i = 0; i < 20'000; ++i) tag += " n" + std::to_string(i) + "='v'";
  EXPECT_EQ(ParseText(tag + "/>")->GetDocumentElement()->GetNodeList().Length(), 20'000);
  EXPECT_EQ(ParseError(tag + " n7='again'/>").Message(),
            "Attribute \"n7\" is specified more than once.");
}

TEST(DocumentGrammar, OnlyMiscMayFollowTheDocumentElement) {
  // A second document element or stray text is not well-formed.
  EXPECT_EQ(ParseError("<a/><b/>").Message(), "Illegal occurence of \"<\"");
  EXPECT_EQ(ParseError("<a/>\n junk<!--c-->").Message(), "Illegal occurence of \"\n junk\"");
  // Comments and processing instructions after it are kept, with or
  // without white space before them.
  auto doc = ParseText("<a/><!--one-->\n<!--two-->\n<?p x?>\n");
  TKaNodeList comments(doc.get());
  doc->GetComments(comments);
  EXPECT_EQ(comments.Length(), 2);
  EXPECT_TRUE(doc->HasPI());
}

TEST(DocumentGrammar, DocumentTypeDeclarationKeepsItsIdentifier) {
  // Offline: the DTD the identifier names is not read.
  TKaOrvane offline(nullptr);
  offline.SetRetrieveInternetURI(false);
  offline.SetCatalogFiles({});
  auto doc =
      ParseText(offline,
                "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html>&nbsp;</html>");
  TKaDocumentType* doctype = doc->GetDocumentType();
  ASSERT_NE(doctype, nullptr);
  EXPECT_EQ(doctype->GetName(), u"html");
  EXPECT_EQ(doctype->GetPublicLiteral(), u"-//W3C//DTD XHTML 1.0 Strict//EN");
  // An entity the DTD would declare stays as written, and is written back so.
  EXPECT_EQ(Written(*doc),
            "<?xml version = \"1.0\"?>\r\n"
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\" []>\r\n"
            "\r\n<html>&nbsp;</html>");
  // The internal subset's declarations are read.
  EXPECT_NE(ParseText("<!DOCTYPE a [<!ELEMENT a ANY>]><a/>")->GetDocumentType()->GetElementDecl(u"a"),
            nullptr);
  // A document type without declarations reads back as it is written.
  auto bare = ParseText("<!DOCTYPE a><a/>");
  const std::string written = Written(*bare);
  EXPECT_EQ(written, "<?xml version = \"1.0\"?>\r\n<!DOCTYPE a []>\r\n\r\n<a/>");
  EXPECT_EQ(Written(*ParseText(written)), written);
}

TEST(DocumentGrammar, EveryTruncationOfADocumentFailsCleanly) {
  const std::string full =
      "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"r.dtd\"><!--c--><r a=\"v\"><![CDATA[d]]>"
      "<?p d?>t&amp;<e/></r>";
  ASSERT_NO_THROW(ParseText(full));
  for (size_t n = 0; n + 1 < full.size(); ++n) {
    TKaOrvane parser(nullptr);
    TStringStream stream(full.substr(0, n));
    std::unique_ptr<TKaXMLDocument> doc;
    EXPECT_THROW(parser.Parse(stream, doc), EKaOrvaneError) << full.substr(0, n);
  }
}

TEST(DocumentGrammar, NestingDeeperThanTheLimitRaises) {
  std::string deep;
  for (int i = 0; i < 100'000; ++i) deep += "<a>";
  TKaOrvane parser(nullptr);
  const EKaOrvaneError error = ParseError(parser, deep);
  EXPECT_EQ(error.Message(), "Element nesting is deeper than 2000 levels.");

  // The default limit itself parses, and the tree copies, writes and dies.
  std::string atLimit;
  for (int i = 0; i < kDefaultMaxNestingDepth; ++i) atLimit += "<a>";
  for (int i = 0; i < kDefaultMaxNestingDepth; ++i) atLimit += "</a>";
  auto doc = ParseText(parser, atLimit);
  EXPECT_NO_THROW(Written(*doc));
  EXPECT_NO_THROW(doc->GetDocumentElement()->CloneNode());
  parser.SetMaxNestingDepth(10);
  EXPECT_THROW(ParseText(parser, atLimit), EKaOrvaneError);
}

TEST(DocumentGrammar, CharactersBeyondTheBasicPlaneSurvive) {
  auto doc = ParseText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a t=\"\xF0\x9F\x98\x80\">\xF0\x9F\x98\x80 "
      "x</a>");
  EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"t"), u"\U0001F600");
  EXPECT_EQ(doc->GetDocumentElement()->GetFirstCharData()->GetValue(), u"\U0001F600 x");
  EXPECT_NE(Written(*doc).find("\xF0\x9F\x98\x80 x"), std::string::npos);
}

TEST(DocumentGrammar, EntityModeReadsContentBelowASyntheticRoot) {
  TKaOrvane parser(nullptr);
  parser.SetParserMode('e');
  auto doc = ParseText(parser, "<?xml encoding=\"UTF-8\"?>lead <b>x</b> tail");
  TKaXMLElement* root = doc->GetDocumentElement();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetName(), u"_root");
  EXPECT_EQ(root->GetFirstCharData()->GetValue(), u"lead ");
  EXPECT_EQ(root->GetFirstChild()->GetName(), u"b");
  EXPECT_EQ(root->GetNodeList().GetLast()->GetValue(), u" tail");
}

}  // namespace
}  // namespace lumora
