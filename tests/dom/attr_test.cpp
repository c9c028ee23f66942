#include <gtest/gtest.h>

#include <memory>

#include "dom/dom_testing.h"
#include "lumora/dom/attr.h"
#include "lumora/dom/document.h"
#include "lumora/dom/element.h"

namespace lumora {
namespace {

using testing::ExpectDOMError;
using testing::ExpectOrvaneError;

// " name = \"value\"" as the attribute writes itself.
std::u16string WrittenAttr(TKaXMLAttr& attr) {
  TStringStream out;
  attr.Write(out, 0);
  const std::string& bytes = out.DataString();
  return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
}

TEST(AttrValues, WhiteSpaceBecomesSpacesAndCdataKeepsRuns) {
  TKaXMLDocument doc;
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"x\r\ny", &doc)->Value(), u"x y");
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"x\ry", &doc)->Value(), u"x y");
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"\nx\n\ny\t", &doc)->Value(), u" x  y ");
  // Undeclared attributes count as CDATA: runs are neither collapsed nor trimmed.
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"  a   b ", &doc)->Value(), u"  a   b ");
}

TEST(AttrValues, ReferencesResolveOrStay) {
  TKaXMLDocument doc;
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"&lt;&gt;&amp;&quot;&apos;", &doc)->Value(), u"<>&\"'");
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"&#65;&#x42;&#x1F600;", &doc)->Value(), u"AB\U0001F600");
  // Undeclared entities and references that resolve to nothing stay as written.
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"&nbsp;x", &doc)->Value(), u"&nbsp;x");
  EXPECT_EQ(TKaXMLAttr(u"a", u"&;", &doc, false).Value(), u"&;");
  // Markup characters given to CreateAttr are stored as text.
  EXPECT_EQ(TKaXMLAttr::CreateAttr(u"a", u"a<b & c", &doc)->Value(), u"a<b & c");
}

TEST(AttrValues, ParserStyleValuesRejectMarkupWithLine) {
  testing::PositionedParser parser(42, "in.xml");
  TKaXMLDocument doc;
  doc.AssignParser(&parser);
  const EKaOrvaneError amp = ExpectOrvaneError([&] { TKaXMLAttr(u"a", u"x&y", &doc, false); },
                                               "Illegal character in the attribute value '&'.");
  EXPECT_EQ(amp.GetLine(), 42);
  EXPECT_EQ(amp.GetFileName(), "");
  ExpectOrvaneError([&] { TKaXMLAttr(u"a", u"x&", &doc, false); },
                    "Illegal character in the attribute value '&'.");
  const EKaOrvaneError lt = ExpectOrvaneError([&] { TKaXMLAttr(u"a", u"x<y", &doc, false); },
                                              "Illegal character in the attribute value '<'.");
  EXPECT_EQ(lt.GetLine(), 0);
  // Without a parser the line is 0.
  TKaXMLDocument alone;
  EXPECT_EQ(ExpectOrvaneError([&] { TKaXMLAttr(u"a", u"&", &alone, false); },
                              "Illegal character in the attribute value '&'.")
                .GetLine(),
            0);
}

TEST(AttrValues, WriteEscapesAmpersandLessThanAndQuote) {
  TKaXMLDocument doc;
  auto attr = TKaXMLAttr::CreateAttr(u"title", u"R&D <x> \"q\" 'a'", &doc);
  EXPECT_EQ(WrittenAttr(*attr), u" title = \"R&amp;D &lt;x> &quot;q&quot; 'a'\"");
  auto empty = TKaXMLAttr::CreateAttr(u"e", u"", &doc);
  EXPECT_FALSE(empty->Specified());
  EXPECT_EQ(WrittenAttr(*empty), u" e = \"\"");
  // An attribute's output ends any run of text.
  doc.SetAfterText(true);
  WrittenAttr(*attr);
  EXPECT_FALSE(doc.GetAfterText());
}

// A tab, line feed or carriage return in a value (read from a character
// reference) is written as a reference too: written raw, a reader would turn
// it into a space. Found by the parse fuzzer's round trips.
TEST(AttrValues, WriteKeepsWhiteSpaceCharactersAsReferences) {
  TKaXMLDocument doc;
  auto attr = TKaXMLAttr::CreateAttr(u"a", u"&#9;x&#10;y&#13;", &doc);
  ASSERT_EQ(attr->Value(), u"\tx\ny\r");
  EXPECT_EQ(WrittenAttr(*attr), u" a = \"&#9;x&#10;y&#13;\"");
}

TEST(AttrNames, InvalidNamesRaiseAndCloneIsPlain) {
  TKaXMLDocument doc;
  ExpectDOMError([&] { TKaXMLAttr::CreateAttr(u"1a", u"v", &doc); }, INVALID_CHARACTER_ERR,
                 "TKaXMLDocument.TKaXMLNode.Create(\"1a\"): invalid character(s) for name");
  auto standard = TKaXMLAttr::CreateStdAttr(u"version", u"1.0", &doc, true);
  EXPECT_TRUE(standard->StandardAttribute());
  const auto clone = standard->CloneNode();
  auto* copy = dynamic_cast<TKaXMLAttr*>(clone.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(copy->StandardAttribute());
  EXPECT_EQ(copy->Value(), u"1.0");
  EXPECT_EQ(copy->GetParent(), nullptr);
  EXPECT_EQ(copy->GetAttrType(), 58);  // atCDATA: not declared
}

TEST(ContainerAttributes, SetGetAndRemoveByName) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  EXPECT_FALSE(e->HasAttribute());
  e->SetAttribute(u"id", u"a<b");
  e->SetAttribute(u"ID", u"  x  ");  // ASCII case is folded: the same attribute
  EXPECT_EQ(e->GetAttribute(u"id"), u"  x  ");
  e->FSetAttribute(u"raw", u"&lt;");
  EXPECT_EQ(e->GetAttribute(u"raw"), u"<");
  e->FSetAttribute(u"raw", u"&amp;amp;");
  EXPECT_EQ(e->GetAttribute(u"raw"), u"&amp;");
  EXPECT_EQ(e->GetAttribute(u"missing"), u"");
  EXPECT_EQ(e->GetAttributeNode(u"missing"), nullptr);
  EXPECT_EQ(e->GetFirstAttribute()->GetName(), u"id");

  EXPECT_EQ(e->RemoveAttribute(u"missing"), nullptr);
  const auto removed = e->RemoveAttribute(u"Id");
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->GetParent(), nullptr);
  EXPECT_EQ(e->GetFirstAttribute()->GetName(), u"raw");
  ExpectDOMError([&] { doc.RemoveAttribute(u"version"); }, INUSE_ATTRIBUTE_ERR,
                 "TKaXMLDocument.removeAttribute: you are trying to remove default attribute "
                 "version");
  EXPECT_EQ(doc.GetVersion(), "1.0");
}

TEST(ContainerAttributes, FailedSetLeavesTheOldValue) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  e->SetAttribute(u"a", u"old");
  ExpectOrvaneError([&] { e->FSetAttribute(u"a", u"x<y"); },
                    "Illegal character in the attribute value '<'.");
  ExpectOrvaneError([&] { e->FSetAttribute(u"a", u"x&y"); },
                    "Illegal character in the attribute value '&'.");
  EXPECT_EQ(e->GetAttribute(u"a"), u"old");
  ExpectOrvaneError([&] { e->FSetAttribute(u"b", u"<"); },
                    "Illegal character in the attribute value '<'.");
  EXPECT_EQ(e->GetAttributeNode(u"b"), nullptr);
}

TEST(ContainerAttributes, SetAttributeNodeChecksNameUseAndDocument) {
  TKaXMLDocument doc, other;
  auto e = doc.CreateElement(u"e");
  auto f = doc.CreateElement(u"f");
  e->SetAttribute(u"a", u"1");

  auto same = doc.CreateAttribute(u"A", u"2");
  ExpectDOMError([&] { e->SetAttributeNode(std::move(same)); }, DUPLICATE_ATTRIBUTE_ERR,
                 "TKaContainer.setAttributeNode: element already contains the attribute \"A\"");
  ASSERT_NE(same, nullptr);  // still the caller's

  TKaXMLAttr* inUse = f->SetAttributeNode(doc.CreateAttribute(u"b", u"3"));
  ExpectDOMError([&] { e->SetAttributeNode(inUse); }, INUSE_ATTRIBUTE_ERR,
                 "TKaContainer.setAttributeNode: attribute already in use");

  auto foreign = other.CreateAttribute(u"c", u"4");
  ExpectDOMError([&] { e->SetAttributeNode(std::move(foreign)); }, WRONG_DOCUMENT_ERR,
                 "TKaContainer.setAttributeNode: wrong document in attribute node");
  ASSERT_NE(foreign, nullptr);

  auto good = doc.CreateAttribute(u"d", u"5");
  TKaXMLAttr* placed = e->SetAttributeNode(std::move(good));
  EXPECT_EQ(good, nullptr);
  EXPECT_EQ(placed->GetParent(), e.get());
  EXPECT_EQ(e->GetNodeList().GetLast(), placed);

  const auto back = e->RemoveAttributeNode(placed);
  EXPECT_EQ(back.get(), placed);
  ExpectDOMError([&] { e->RemoveAttributeNode(inUse); }, INVALID_POINTER_ERR,
                 "TKaNodeList.RemoveChildNode: you are trying to remove child out of list.");
  EXPECT_EQ(f->GetFirstAttribute(), inUse);
}

TEST(ContainerAttributes, TypeListsAreIndependentCopies) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  e->SetAttribute(u"a", u"1");
  e->SetCData(doc.CreateCDATASection(u"c"));
  e->SetAttribute(u"b", u"2");
  e->SetComment(doc.CreateComment(u"one"));
  e->SetPI(doc.CreateProcessingInstruction(u"t", u"d"));
  e->SetComment(doc.CreateComment(u"two"));
  {
    TKaNodeList attrs(&doc), comments(&doc), pis(&doc);
    e->GetAttributes(attrs);
    e->GetComments(comments);
    e->GetPIs(pis);
    EXPECT_EQ(attrs.Length(), 2);
    EXPECT_EQ(attrs.Item(2, ATTRIBUTE_NODE)->GetValue(), u"2");
    EXPECT_EQ(comments.GetLast()->GetValue(), u"two");
    EXPECT_EQ(pis.GetFirst()->GetName(), u"t");
    EXPECT_NE(attrs.GetFirst(), e->GetFirstAttribute());
  }  // destroying the copies leaves the element alone
  EXPECT_EQ(e->GetAttribute(u"b"), u"2");
  EXPECT_EQ(e->GetFirstComment()->GetValue(), u"one");
  EXPECT_TRUE(e->HasPI());

  const auto pi = e->RemovePI(u"T");
  ASSERT_NE(pi, nullptr);
  EXPECT_FALSE(e->HasPI());
  ExpectDOMError([&] { e->RemovePI(u"t"); }, INVALID_POINTER_ERR,
                 "TKaNodeList.RemoveChildNode: you are trying to remove not existing child");
  const auto comment = e->RemoveComment(e->GetFirstComment());
  EXPECT_EQ(e->GetFirstComment()->GetValue(), u"two");
}

TEST(ContainerAttributes, InsertNodeGoesAfterItsReference) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  TKaXMLNode* first = e->SetComment(doc.CreateComment(u"1"));
  e->SetComment(doc.CreateComment(u"3"));
  e->InsertNode(doc.CreateComment(u"2"), first);
  e->InsertNode(doc.CreateComment(u"4"), nullptr);
  std::u16string order;
  for (TKaXMLNode* n = e->GetFirstNode(); n; n = n->Next()) order += n->GetValue();
  EXPECT_EQ(order, u"1234");
  const auto removed = e->RemoveNode(first);
  EXPECT_EQ(e->GetFirstNode()->GetValue(), u"2");
}

}  // namespace
}  // namespace lumora
