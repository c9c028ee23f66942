#include <gtest/gtest.h>

#include <memory>

#include "dom/dom_testing.h"
#include "lumora/dom/character_data.h"
#include "lumora/dom/document.h"

namespace lumora {
namespace {

using testing::ExpectDOMError;
using testing::ExpectOrvaneError;
using testing::kDecl;
using testing::Written;

class Offsets : public ::testing::Test {
 protected:
  TKaXMLDocument doc_;
  std::unique_ptr<TKaXMLText> text_ = doc_.CreateTextNode(u"abcdef");
};

TEST_F(Offsets, SubstringKeepsOnlyTheSubstring) {
  EXPECT_EQ(text_->SubstringData(2, 3), u"cde");
  EXPECT_EQ(text_->Data(), u"cde");
  EXPECT_EQ(text_->SubstringData(1, 100), u"de");
  EXPECT_EQ(text_->SubstringData(0, 0), u"");  // and the data is empty now
  for (const int offset : {0, -1}) {
    ExpectDOMError([&] { text_->SubstringData(offset, 1); }, INDEX_SIZE_ERR,
                   "TKaCharacterData.substring: invalid offset/count values");
  }
}

TEST_F(Offsets, OutOfRangeOffsetsRaiseAndChangeNothing) {
  const char* sub = "TKaCharacterData.substring: invalid offset/count values";
  const char* del = "TKaCharacterData.deleteData: invalid offset/count values";
  const char* ins = "TKaCharacterData.insertData: invalid offset value";
  ExpectDOMError([&] { text_->SubstringData(6, 1); }, INDEX_SIZE_ERR, sub);
  ExpectDOMError([&] { text_->SubstringData(2, -1); }, INDEX_SIZE_ERR, sub);
  ExpectDOMError([&] { text_->DeleteData(6, 1); }, INDEX_SIZE_ERR, del);
  ExpectDOMError([&] { text_->DeleteData(-1, 1); }, INDEX_SIZE_ERR, del);
  ExpectDOMError([&] { text_->DeleteData(0, -2); }, INDEX_SIZE_ERR, del);
  ExpectDOMError([&] { text_->InsertData(6, u"x"); }, INDEX_SIZE_ERR, ins);
  ExpectDOMError([&] { text_->InsertData(-1, u"x"); }, INDEX_SIZE_ERR, ins);
  ExpectDOMError([&] { text_->InsertData(INT32_MAX, u"x"); }, INDEX_SIZE_ERR, ins);
  EXPECT_EQ(text_->Data(), u"abcdef");

  auto empty = doc_.CreateTextNode(u"");
  ExpectDOMError([&] { empty->InsertData(0, u"x"); }, INDEX_SIZE_ERR, ins);
  ExpectDOMError([&] { empty->DeleteData(0, 0); }, INDEX_SIZE_ERR, del);
  ExpectDOMError([&] { empty->SubstringData(0, 0); }, INDEX_SIZE_ERR, sub);
  empty->AppendData(u"xy");
  EXPECT_EQ(empty->Data(), u"xy");
}

TEST_F(Offsets, EditsAtTheEdges) {
  text_->InsertData(0, u"<");
  text_->InsertData(6, u"|");
  EXPECT_EQ(text_->Data(), u"<abcde|f");
  text_->AppendData(u">");
  text_->DeleteData(0, 1);
  text_->DeleteData(5, 10);
  EXPECT_EQ(text_->Data(), u"abcde");
  EXPECT_EQ(text_->Length(), 5);
  text_->ReplaceData(1, 2, u"XYZ");
  EXPECT_EQ(text_->Data(), u"aXYZde");
  // A replacement reaching the end deletes, then refuses to insert at the end.
  ExpectDOMError([&] { text_->ReplaceData(5, 1, u"a"); }, INDEX_SIZE_ERR,
                 "TKaCharacterData.insertData: invalid offset value");
  EXPECT_EQ(text_->Data(), u"aXYZd");
}

TEST_F(Offsets, SplitTextLeavesTheHeadAndReturnsAFreeTail) {
  auto tail = text_->SplitText(2);
  EXPECT_EQ(text_->Data(), u"ab");
  EXPECT_EQ(tail->Data(), u"cdef");
  EXPECT_EQ(tail->GetParent(), nullptr);
  EXPECT_EQ(tail->GetOwnerDocument(), &doc_);
  EXPECT_EQ(text_->SplitText(2)->Data(), u"");
  EXPECT_EQ(text_->SplitText(0)->Data(), u"ab");
  EXPECT_EQ(text_->Data(), u"");
  auto six = doc_.CreateTextNode(u"abcdef");
  ExpectDOMError([&] { six->SplitText(7); }, INDEX_SIZE_ERR,
                 "TKaXMLText.splitText: invalid offset value");
  ExpectDOMError([&] { six->SplitText(-1); }, INDEX_SIZE_ERR,
                 "TKaXMLText.splitText: invalid offset value");
  EXPECT_EQ(six->Data(), u"abcdef");
  // The tail holds the same characters as the head: literal text stays literal.
  auto markup = doc_.CreateTextNode(u"x<&amp;y");
  EXPECT_EQ(markup->SplitText(1)->Data(), u"<&amp;y");
}

TEST(TextData, MadeTextIsLiteralParsedTextIsResolved) {
  TKaXMLDocument doc;
  // Text made through the interface is the text itself, "&amp;" included.
  auto text = doc.CreateTextNode(u"R&D <x> \"q\" 'a' &amp;");
  text->Normalize();
  EXPECT_EQ(text->Data(), u"R&D <x> \"q\" 'a' &amp;");
  EXPECT_EQ(text->CloneNode()->GetValue(), text->Data());
  // Text as written resolves once; a free node keeps what does not resolve.
  auto refs = std::make_unique<TKaXMLText>(u"&#65;&amp;amp;&undeclared;&;\r\n\t", &doc);
  refs->Normalize();
  EXPECT_EQ(refs->Data(), u"A&amp;&undeclared;&;\r\n\t");  // white space untouched
  refs->Normalize();
  EXPECT_EQ(refs->Data(), u"A&amp;&undeclared;&;\r\n\t");
}

TEST(TextData, UnterminatedReferenceRaisesWithTheParserLine) {
  testing::PositionedParser parser(9);
  TKaXMLDocument doc;
  doc.AssignParser(&parser);
  auto text = std::make_unique<TKaXMLText>(u"a & b", &doc);
  const EKaOrvaneError e =
      ExpectOrvaneError([&] { text->Normalize(); }, "Illegal character in the text value '&&'.");
  EXPECT_EQ(e.GetLine(), 9);
  EXPECT_EQ(text->Data(), u"a & b");
  ExpectOrvaneError([&] { std::make_unique<TKaXMLText>(u"x&", &doc)->Normalize(); },
                    "Illegal character in the text value '&&'.");
}

TEST(CDataAndComments, KeepTheirDataVerbatim) {
  TKaXMLDocument doc;
  const std::u16string data = u"a &amp; <b> & \r\n\t c";
  EXPECT_EQ(doc.CreateCDATASection(data)->Data(), data);
  EXPECT_EQ(doc.CreateComment(data)->Data(), data);
  auto clone = doc.CreateComment(data)->CloneNode();
  EXPECT_EQ(clone->GetType(), COMMENT_NODE);
  EXPECT_EQ(clone->GetValue(), data);
  EXPECT_NE(dynamic_cast<TKaXMLComment*>(clone.get()), nullptr);
  EXPECT_NE(dynamic_cast<TKaXMLCData*>(doc.CreateCDATASection(u"")->CloneNode().get()), nullptr);
}

TEST(ProcessingInstructions, TargetChecksAndWhiteSpace) {
  TKaXMLDocument doc;
  for (const char16_t* bad : {u"xml", u"XmL", u"", u" ", u"1a", u"a b"}) {
    ExpectDOMError([&] { doc.CreateProcessingInstruction(bad, u"d"); }, INVALID_CHARACTER_ERR,
                   "TKaXMLDocument.createProcessingInstruction: invalid character for name");
  }
  // The data is kept exactly: line breaks, blanks and references.
  auto pi = doc.CreateProcessingInstruction(u"xml-stylesheet", u"a\r\nb\tc\rd\ne  &amp;");
  EXPECT_EQ(pi->Target(), u"xml-stylesheet");
  EXPECT_EQ(pi->Data(), u"a\r\nb\tc\rd\ne  &amp;");
  auto clone = pi->CloneNode();
  EXPECT_NE(dynamic_cast<TKaXMLPi*>(clone.get()), nullptr);
  EXPECT_EQ(clone->GetName(), u"xml-stylesheet");
  EXPECT_EQ(clone->GetValue(), pi->Data());
}

// Leaf nodes at the top of a document, each written as a whole document.
TEST(LeafOutput, TopLevelFormsAndFragments) {
  TKaXMLDocument doc;
  doc.SetComment(doc.CreateComment(u" a -- b "));
  doc.SetPI(doc.CreateProcessingInstruction(u"blank", u" \t "));
  doc.SetPI(doc.CreateProcessingInstruction(u"empty", u""));
  doc.SetPI(doc.CreateProcessingInstruction(u"go", u"x=\"1\" & <y>"));
  EXPECT_EQ(Written(doc), kDecl +
                              "\r\n   <!-- a -- b -->"
                              "\r\n   <?blank?>"
                              "\r\n   <?empty?>"
                              "\r\n   <?go x=\"1\" & <y>?>");

  // A fragment writes the base form: empty name, a space, empty value.
  TKaXMLDocument frag;
  auto f = frag.CreateDocumentFragment();
  f->GetNodeList().AppendChild(frag.CreateComment(u"inside"));
  EXPECT_EQ(f->GetNodeList().GetFirst()->GetParent(), nullptr);
  frag.GetNodeList().AppendChild(std::move(f));
  EXPECT_EQ(Written(frag), kDecl + " ");
}

// Mixed content is written without added line breaks: they would be text.
TEST(LeafOutput, MarkupInMixedContentFollowsItDirectly) {
  TKaXMLDocument doc;
  auto root = doc.CreateElement(u"r");
  root->SetCharData(doc.CreateTextNode(u"t"));
  root->SetComment(doc.CreateComment(u"c1"));
  root->SetCharData(doc.CreateTextNode(u"u"));
  root->SetCData(doc.CreateCDATASection(u"<d>"));
  root->SetCharData(doc.CreateTextNode(u"v"));
  root->SetPI(doc.CreateProcessingInstruction(u"p", u"q"));
  root->SetComment(doc.CreateComment(u"c2"));
  root->SetCData(doc.CreateCDATASection(u"e"));
  root->AppendChild(doc.CreateElement(u"x"));
  root->SetComment(doc.CreateComment(u"c3"));
  doc.SetDocumentElement(std::move(root));
  EXPECT_EQ(Written(doc),
            kDecl + "\r\n<r>t<!--c1-->u<![CDATA[<d>]]>v<?p q?><!--c2--><![CDATA[e]]><x/><!--c3--></r>");
}

TEST(LeafOutput, CDataHoldingItsOwnEndIsSplit) {
  TKaXMLDocument doc;
  auto root = doc.CreateElement(u"r");
  root->SetCData(doc.CreateCDATASection(u"a]]>b]]>"));
  root->SetCData(doc.CreateCDATASection(u"]]]>>"));
  root->SetCData(doc.CreateCDATASection(u""));
  doc.SetDocumentElement(std::move(root));
  EXPECT_EQ(Written(doc), kDecl +
                              "\r\n<r><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]>"
                              "<![CDATA[]]]]]><![CDATA[>>]]><![CDATA[]]></r>");
  EXPECT_EQ(doc.GetDocumentElement()->GetFirstCData()->GetValue(), u"a]]>b]]>");
}

TEST(LeafOutput, TextEscapesEveryAmpersandAndLessThan) {
  TKaXMLDocument doc;
  auto root = doc.CreateElement(u"r");
  // Text is written the same whether SetCharData placed it or not, and an
  // '&' that looks like a reference is a literal '&' too.
  root->SetCharData(doc.CreateTextNode(u"& <x> \"'"));
  root->GetNodeList().AppendChild(doc.CreateTextNode(u"|& <x> \"' &amp;"));
  doc.SetDocumentElement(std::move(root));
  EXPECT_EQ(Written(doc), kDecl + "\r\n<r>&amp; &lt;x> \"'|&amp; &lt;x> \"' &amp;amp;</r>");
}

}  // namespace
}  // namespace lumora
