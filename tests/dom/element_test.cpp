#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dom/element.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/references.h"

namespace lumora {
namespace {

using testing::ExpectDOMError;
using testing::ExpectOrvaneError;
using testing::kDecl;
using testing::Written;

TEST(ElementSearch, ElementsByTagNameInDocumentOrder) {
  TKaXMLDocument doc;
  auto outer = doc.CreateElement(u"a");
  outer->SetAttribute(u"n", u"1");
  TKaXMLElement* child = outer->AppendChild(doc.CreateElement(u"a"));
  child->SetAttribute(u"n", u"2");
  TKaXMLElement* b = outer->AppendChild(doc.CreateElement(u"b"));
  b->AppendChild(doc.CreateElement(u"a"))->SetAttribute(u"n", u"3");
  child->AppendChild(doc.CreateElement(u"c"));

  const auto found = outer->GetElementsByTagName(u"a");
  ASSERT_EQ(found->Length(), 3);
  std::u16string order;
  for (TKaXMLNode* n = found->GetFirst(); n; n = n->Next()) {
    auto* copy = TKaXMLElement::AsElement(n);
    ASSERT_NE(copy, nullptr);
    order += copy->GetAttribute(u"n");
    EXPECT_EQ(copy->GetParent(), outer.get());  // copies, listed under the element
  }
  EXPECT_EQ(order, u"123");
  // The copies are deep and separate from the tree.
  auto* first = TKaXMLElement::AsElement(found->GetFirst());
  EXPECT_NE(first, outer.get());
  EXPECT_EQ(first->GetChild(2)->TagName(), u"b");
  EXPECT_EQ(first->GetChild(2)->GetFirstChild()->GetAttribute(u"n"), u"3");

  EXPECT_EQ(outer->GetElementsByTagName(u"A")->Length(), 0);  // names compare exactly
  EXPECT_EQ(b->GetElementsByTagName(u"a")->Length(), 1);      // only b's subtree
  EXPECT_EQ(b->GetElementsByTagName(u"c")->Length(), 0);
  // Undeclared attributes all have type CDATA.
  EXPECT_EQ(outer->GetAttributesByType(58)->Length(), 3);
  EXPECT_EQ(outer->GetAttributesByType(50)->Length(), 0);
}

TEST(ElementSearch, ChildAccessorsSkipOtherNodes) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  EXPECT_FALSE(e->HasChild());
  EXPECT_EQ(e->GetChild(1), nullptr);
  e->SetAttribute(u"a", u"1");
  e->SetCharData(doc.CreateTextNode(u"t"));
  TKaXMLElement* x = e->AppendChild(doc.CreateElement(u"x"));
  e->SetComment(doc.CreateComment(u"c"));
  TKaXMLElement* y = e->AppendChild(doc.CreateElement(u"y"));
  EXPECT_EQ(e->GetFirstChild(), x);
  EXPECT_EQ(e->GetChild(0), x);
  EXPECT_EQ(e->GetChild(1), x);
  EXPECT_EQ(e->GetChild(2), y);
  EXPECT_EQ(e->GetChild(3), nullptr);
  EXPECT_EQ(x->NextSibling(), y);
  EXPECT_EQ(y->PreviousSibling(), x);
  EXPECT_EQ(x->PreviousSibling(), nullptr);
  EXPECT_EQ(x->GetParent(), e.get());

  TKaNodeList children(&doc);
  e->GetChildren(children);
  EXPECT_EQ(children.Length(), 2);
  const auto removed = e->RemoveChild(x);
  EXPECT_EQ(e->GetFirstChild(), y);
  ExpectDOMError([&] { e->RemoveChild(x); }, INVALID_POINTER_ERR,
                 "TKaNodeList.RemoveChildNode: you are trying to remove child out of list.");
  ExpectDOMError([&] { e->AppendChild(y); }, INUSE_ATTRIBUTE_ERR,
                 "TNamedNodeMap.setNamedItem: attribute \"y\" already in use (use clone)");
}

// White space is content like any other text: only the parser, at the end
// of an element, drops the indentation of element content.
TEST(ElementText, WhiteSpaceIsKeptEmptyTextIsNot) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  EXPECT_EQ(e->SetCharData(new TKaXMLText(u"", &doc)), nullptr);
  EXPECT_EQ(e->GetFirstNode(), nullptr);
  TKaXMLNode* blank = e->SetCharData(doc.CreateTextNode(u" \t\r\n "));
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(blank->GetValue(), u" \t\r\n ");
  TKaXMLNode* kept = e->SetCharData(doc.CreateTextNode(u"  x  "));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->GetValue(), u"  x  ");  // kept text is not trimmed
  TKaXMLNode* spaces = e->SetCharData(new TKaXMLText(u"&#32;&#x9;", &doc));
  ASSERT_NE(spaces, nullptr);
  EXPECT_EQ(spaces->GetValue(), u" \t");
  EXPECT_EQ(e->GetNodeList().GetLast(), spaces);
}

// Text as the parser reads it: references that do not resolve become
// entity-reference nodes at their place between the pieces of text.
TEST(ElementText, UnresolvedReferencesSplitTheText) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  TKaXMLNode* first = e->SetCharData(new TKaXMLText(u"a &amp;foo; &foo;&bar; b&#33;", &doc));
  ASSERT_NE(first, nullptr);
  std::u16string seen;
  for (TKaXMLNode* n = e->GetFirstNode(); n; n = n->Next())
    seen += (n->GetType() == TEXT_NODE ? u"T:" : u"R:") + (n->GetName() + n->GetValue()) + u"|";
  EXPECT_EQ(seen, u"T:a &foo; |R:foo|R:bar|T: b!|");
  EXPECT_EQ(first->GetValue(), u"a &foo; ");
  // A reference first leaves no empty text before it.
  auto f = doc.CreateElement(u"f");
  EXPECT_EQ(f->SetCharData(new TKaXMLText(u"&foo;x", &doc)), nullptr);
  ASSERT_NE(f->GetFirstNode(), nullptr);
  EXPECT_EQ(f->GetFirstNode()->GetType(), ENTITY_REFERENCE_NODE);
  EXPECT_EQ(f->GetNodeList().GetLast()->GetValue(), u"x");
  doc.SetDocumentElement(std::move(e));
  EXPECT_EQ(Written(doc), kDecl + "\r\n<e>a &amp;foo; &foo;&bar; b!</e>");
}

TEST(ElementText, TextThatFailsToNormalizeStaysWithTheCaller) {
  testing::PositionedParser parser(5);
  TKaXMLDocument doc;
  doc.AssignParser(&parser);
  auto e = doc.CreateElement(u"e");
  e->SetCharData(doc.CreateTextNode(u"before"));
  auto bad = std::make_unique<TKaXMLText>(u"a & b", &doc);
  EXPECT_EQ(ExpectOrvaneError([&] { e->SetCharData(std::move(bad)); },
                              "Illegal character in the text value '&&'.")
                .GetLine(),
            5);
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(bad->GetParent(), nullptr);
  EXPECT_EQ(e->GetNodeList().GetLast()->GetValue(), u"before");
  EXPECT_EQ(e->GetNodeList().GetFirst(), e->GetNodeList().GetLast());
}

TEST(ElementCData, AppendFindAndRemove) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  EXPECT_FALSE(e->HasCData());
  TKaXMLNode* c = e->SetCData(doc.CreateCDATASection(u"one"));
  e->SetCData(doc.CreateCDATASection(u"two"));
  EXPECT_EQ(e->GetFirstCData(), c);
  TKaNodeList copies(&doc);
  e->GetCDatas(copies);
  EXPECT_EQ(copies.Item(2, CDATA_SECTION_NODE)->GetValue(), u"two");
  const auto removed = e->RemoveCData(c);
  EXPECT_EQ(e->GetFirstCData()->GetValue(), u"two");
}

TEST(ElementCopy, CloneIsDeepAndIndependent) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  e->SetValue(u"kept");
  e->SetAttribute(u"a", u"<1>");
  TKaXMLElement* c = e->AppendChild(doc.CreateElement(u"c"));
  c->SetCharData(doc.CreateTextNode(u"t&"));
  c->AppendChild(doc.CreateElement(u"d"))->SetCData(doc.CreateCDATASection(u"x"));
  e->SetPI(doc.CreateProcessingInstruction(u"p", u"q"));

  auto copy = std::unique_ptr<TKaXMLElement>(TKaXMLElement::AsElement(e->CloneNode().release()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetParent(), nullptr);
  EXPECT_EQ(copy->GetValue(), u"kept");
  EXPECT_EQ(copy->GetOwnerDocument(), &doc);
  TKaXMLElement* cc = copy->GetFirstChild();
  EXPECT_NE(cc, c);
  EXPECT_EQ(cc->GetParent(), copy.get());
  EXPECT_EQ(cc->GetFirstChild()->GetFirstCData()->GetValue(), u"x");

  cc->SetAttribute(u"changed", u"1");
  copy->SetAttribute(u"a", u"2");
  EXPECT_EQ(e->GetAttribute(u"a"), u"<1>");
  EXPECT_EQ(c->GetAttributeNode(u"changed"), nullptr);

  // Written side by side, copy and source differ only where they were changed.
  copy->SetAttribute(u"a", u"<1>");
  cc->RemoveAttribute(u"changed");
  TStringStream a, b;
  e->Write(a, 0);
  copy.reset();  // destroying the copy leaves the source whole
  auto again = e->CloneNode();
  again->Write(b, 0);
  EXPECT_EQ(a.DataString(), b.DataString());
}

TEST(ElementCopy, InsertElementContentCopiesContentIntoThisDocument) {
  TKaXMLDocument doc, other;
  auto source = other.CreateElement(u"s");
  source->SetAttribute(u"skip", u"me");
  TKaXMLElement* inner = source->AppendChild(other.CreateElement(u"i"));
  inner->AppendChild(other.CreateElement(u"j"));
  source->SetCharData(other.CreateTextNode(u"text"));

  auto target = doc.CreateElement(u"t");
  target->SetAttribute(u"own", u"1");
  target->InsertElementContent(*source);
  // Attributes stay behind; content is appended as copies.
  EXPECT_EQ(target->GetAttribute(u"skip"), u"");
  TKaXMLElement* copied = target->GetFirstChild();
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, inner);
  EXPECT_EQ(copied->GetParent(), target.get());
  EXPECT_EQ(copied->GetOwnerDocument(), &doc);
  EXPECT_EQ(copied->GetFirstChild()->GetOwnerDocument(), &doc);
  EXPECT_EQ(target->GetFirstCharData()->GetValue(), u"text");
  // The source keeps its nodes, now of this document.
  EXPECT_EQ(source->GetFirstChild(), inner);
  EXPECT_EQ(inner->GetOwnerDocument(), &doc);
  EXPECT_EQ(inner->GetFirstChild()->GetOwnerDocument(), &doc);
}

TEST(ElementCopy, InsertingOwnContentCopiesItOnce) {
  TKaXMLDocument doc;
  auto e = doc.CreateElement(u"e");
  e->SetAttribute(u"a", u"1");
  e->AppendChild(doc.CreateElement(u"c"))->AppendChild(doc.CreateElement(u"d"));
  e->SetCharData(doc.CreateTextNode(u"t"));
  e->InsertElementContent(*e);
  std::u16string order;
  for (TKaXMLNode* n = e->GetFirstNode(); n; n = n->Next()) order += n->GetName() + n->GetValue();
  EXPECT_EQ(order, u"a1ctct");
  EXPECT_EQ(e->GetChild(2)->GetFirstChild()->TagName(), u"d");
}

TEST(ElementOutput, FormsOfEmptyTextAndNestedElements) {
  TKaXMLDocument doc;
  auto root = doc.CreateElement(u"root");
  root->AppendChild(doc.CreateElement(u"empty"))->SetAttribute(u"a", u"1");
  root->AppendChild(doc.CreateElement(u"text"))->SetCharData(doc.CreateTextNode(u"one line"));
  TKaXMLElement* nest = root->AppendChild(doc.CreateElement(u"nest"));
  nest->AppendChild(doc.CreateElement(u"deeper"))->AppendChild(doc.CreateElement(u"deepest"));
  nest->SetComment(doc.CreateComment(u"c"));
  // A reference is content, written inline.
  root->AppendChild(doc.CreateElement(u"ref"))
      ->GetNodeList()
      .AppendChild(TKaGEntityReference::CreateReference(u"r", &doc));
  doc.SetDocumentElement(std::move(root));
  EXPECT_EQ(Written(doc), kDecl +
                              "\r\n<root>"
                              "\r\n   <empty a = \"1\"/>"
                              "\r\n   <text>one line</text>"
                              "\r\n   <nest>"
                              "\r\n      <deeper>"
                              "\r\n         <deepest/>"
                              "\r\n      </deeper>"
                              "\r\n         <!--c-->"
                              "\r\n   </nest>"
                              "\r\n   <ref>&r;</ref>"
                              "\r\n</root>");

  // Without formatting, tags still start on lines of their own.
  testing::PositionedParser plain;
  plain.SetFormatedOutput(false);
  doc.AssignParser(&plain);
  EXPECT_EQ(Written(doc), kDecl +
                              "\r\n<root>"
                              "\r\n<empty a = \"1\"/>"
                              "\r\n<text>one line</text>"
                              "\r\n<nest>"
                              "\r\n<deeper>"
                              "\r\n<deepest/>"
                              "\r\n</deeper>"
                              "\r\n<!--c-->"
                              "\r\n</nest>"
                              "\r\n<ref>&r;</ref>"
                              "\r\n</root>");
  doc.AssignParser(nullptr);
}

// In mixed content no line break or indentation is added, at any depth.
TEST(ElementOutput, MixedContentIsWrittenInline) {
  TKaXMLDocument doc;
  auto p = doc.CreateElement(u"p");
  p->SetCharData(doc.CreateTextNode(u"Hello "));
  p->AppendChild(doc.CreateElement(u"b"))->SetCharData(doc.CreateTextNode(u"bold"));
  p->SetCharData(doc.CreateTextNode(u" and "));
  p->AppendChild(doc.CreateElement(u"a"))->AppendChild(doc.CreateElement(u"e"));
  p->SetCharData(doc.CreateTextNode(u" then "));
  TKaXMLElement* k = p->AppendChild(doc.CreateElement(u"k"));
  k->SetAttribute(u"v", u"1");
  k->AppendChild(doc.CreateElement(u"e"));
  doc.SetDocumentElement(std::move(p));
  EXPECT_EQ(Written(doc),
            kDecl + "\r\n<p>Hello <b>bold</b> and <a><e/></a> then <k v = \"1\"><e/></k></p>");
}

// A document type that declares elements by name (plain declaration nodes).
TKaDocumentType* DeclareElements(TKaXMLDocument& doc,
                                 std::initializer_list<const char16_t*> names) {
  TKaDocumentType* doctype = doc.SetDocumentType(TKaDocumentType::CreateDTD(u"root", &doc));
  for (const char16_t* name : names)
    doctype->SetElementDecl(TKaElementDecl::CreateEmptyEDecl(name, &doc));
  return doctype;
}

TEST(ElementValidate, UndeclaredElementsAreRecordedOnceEach) {
  testing::PositionedParser parser;
  TKaXMLDocument doc;
  doc.AssignParser(&parser);
  auto root = doc.CreateElement(u"root");
  TKaXMLElement* item = root->AppendChild(doc.CreateElement(u"item"));
  item->AppendChild(doc.CreateElement(u"Root"));  // declarations match without ASCII case
  TKaXMLElement* other = root->AppendChild(doc.CreateElement(u"other"));
  TKaXMLElement* root2 = doc.SetDocumentElement(std::move(root));

  root2->Validate();
  EXPECT_EQ(parser.GetErrors().Count(), 0);  // no document type: nothing is checked

  DeclareElements(doc, {u"root"});
  root2->Validate();
  ASSERT_EQ(parser.GetErrors().Count(), 2);
  EXPECT_EQ(parser.GetErrors()[0]->GetMessage(), "[Element \"item\"]: Element is not declared.");
  EXPECT_EQ(parser.GetErrors()[0]->GetNode(), item);
  EXPECT_EQ(parser.GetErrors()[1]->GetNode(), other);
  doc.AssignParser(nullptr);
  root2->Validate();  // no parser: nowhere to record, nothing happens
}

// Trees far deeper than any call stack could follow.
class DeepTree : public ::testing::Test {
 protected:
  static constexpr int kDepth = 100'000;
  void SetUp() override {
    plain_.SetFormatedOutput(false);
    doc_.AssignParser(&plain_);
    TKaXMLElement* tip = doc_.SetDocumentElement(doc_.CreateElement(u"e"));
    for (int depth = 1; depth < kDepth; ++depth) tip = tip->AppendChild(doc_.CreateElement(u"e"));
    tip->AppendChild(doc_.CreateElement(u"leaf"))->SetCharData(doc_.CreateTextNode(u"<x>"));
  }
  void TearDown() override { doc_.AssignParser(nullptr); }

  std::string Expected() const {
    std::string out = kDecl;
    for (int depth = 0; depth < kDepth; ++depth) out += "\r\n<e>";
    out += "\r\n<leaf>&lt;x></leaf>";
    for (int depth = 0; depth < kDepth; ++depth) out += "\r\n</e>";
    return out;
  }

  testing::PositionedParser plain_;
  TKaXMLDocument doc_;
};

TEST_F(DeepTree, WritesCopiesAndSearchesWithoutRecursion) {
  EXPECT_EQ(Written(doc_), Expected());

  TKaXMLElement* root = doc_.GetDocumentElement();
  auto copy = root->CloneNode();
  const auto leaves = root->GetElementsByTagName(u"leaf");
  ASSERT_EQ(leaves->Length(), 1);
  EXPECT_EQ(TKaXMLElement::AsElement(leaves->GetFirst())->GetFirstCharData()->GetValue(), u"<x>");

  // Swap the copy in for the original: the output must not change.
  auto original = doc_.RemoveNode(root);
  doc_.SetDocumentElement(TKaXMLElement::AsElement(copy.release()));
  EXPECT_EQ(Written(doc_), Expected());
  original.reset();

  DeclareElements(doc_, {u"e"});
  doc_.GetDocumentElement()->Validate();
  ASSERT_EQ(plain_.GetErrors().Count(), 1);
  EXPECT_EQ(plain_.GetErrors()[0]->GetMessage(), "[Element \"leaf\"]: Element is not declared.");

  TKaXMLNode* leaf = doc_.Find(u"leaf", nullptr, fnNames | fnElements | fnWholeString);
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->GetName(), u"leaf");
  int walked = 0;
  for (TKaXMLNode* n = &doc_; n; n = doc_.TakeNext(n)) ++walked;
  // document, version, document type and its declaration, the elements, leaf, text
  EXPECT_EQ(walked, 1 + 1 + 2 + kDepth + 2);
}

TEST_F(DeepTree, ContentMovesIntoAnotherDocument) {
  TKaXMLDocument target;
  auto holder = target.CreateElement(u"holder");
  holder->InsertElementContent(*doc_.GetDocumentElement());
  EXPECT_EQ(holder->GetFirstChild()->GetOwnerDocument(), &target);
  EXPECT_EQ(doc_.GetDocumentElement()->GetFirstChild()->GetOwnerDocument(), &target);
  doc_.GetDocumentElement()->SetDocument(&doc_);
  const auto leaves = doc_.GetDocumentElement()->GetElementsByTagName(u"leaf");
  EXPECT_EQ(leaves->GetFirst()->GetOwnerDocument(), &doc_);
}

}  // namespace
}  // namespace lumora
