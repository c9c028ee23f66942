// Nodes that outlive their document: taken out of its tree, or made by its
// factories and never placed, and kept by the caller after the document is
// destroyed. They then work on their own, as nodes made without a document,
// read no document, and join another document when inserted there.
#include <functional>
#include <memory>
#include <string>

#include "dom/dom_testing.h"
#include "lumora/dom/named_node_map.h"
#include "lumora/dtd/references.h"
#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

// One of each kind of node, an element with an attribute whose declared
// type normalizes its value, and a reference the relaxed grammar keeps.
const char kSource[] =
    "<!DOCTYPE r [<!ENTITY e 'ent'><!ATTLIST c b NMTOKENS #IMPLIED>]>"
    "<r><c b=' 1  2 '>t</c><!--k--><![CDATA[d]]><?p q?>&u;x</r>";

// What Write gives for node at level 0, as text (the tests use ASCII only).
std::u16string WrittenNode(TKaXMLNode& node) {
  TStringStream out;
  node.Write(out, 0);
  const std::string& bytes = out.DataString();
  return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
}

TKaXMLNode* FirstOfType(TKaXMLDocument& doc, uint8_t type) {
  return doc.GetDocumentElement()->GetNodeList().GetRoot(type);
}

std::unique_ptr<TKaXMLNode> TakeOut(TKaXMLDocument& doc, uint8_t type) {
  return doc.GetDocumentElement()->GetNodeList().RemoveChildNode(FirstOfType(doc, type));
}

// Every node of the subtree at node, with the lists they hold, reads no document.
void ExpectNoDocument(TKaXMLNode& node) {
  EXPECT_EQ(node.GetOwnerDocument(), nullptr);
  if (TKaContainer* container = node.ToContainer()) {
    EXPECT_EQ(container->GetNodeList().GetOwnerDocument(), nullptr);
    for (TKaXMLNode* child = container->GetFirstNode(); child; child = child->Next())
      ExpectNoDocument(*child);
  }
}

struct TCase {
  const char* kind;
  // A node of doc that the caller keeps.
  std::function<std::unique_ptr<TKaXMLNode>(TKaXMLDocument&)> keep;
  const char16_t* written;  // after the document is gone
};

const TCase kCases[] = {
    {"element taken out",
     [](TKaXMLDocument& doc) { return TakeOut(doc, ELEMENT_NODE); },
     u"\r\n<c b = \"1 2\">t\r\n</c>"},
    {"element made", [](TKaXMLDocument& doc) -> std::unique_ptr<TKaXMLNode> {
       auto e = doc.CreateElement(u"m");
       e->SetAttribute(u"k", u"v");
       e->AppendChild(doc.CreateElement(u"n"))->SetCharData(doc.CreateTextNode(u"t"));
       return e;
     },
     u"\r\n<m k = \"v\">\r\n   <n>t\r\n   </n>\r\n</m>"},
    {"attribute taken out",
     [](TKaXMLDocument& doc) -> std::unique_ptr<TKaXMLNode> {
       auto* c = doc.GetDocumentElement()->GetFirstChild();
       return c->RemoveAttributeNode(c->GetAttributeNode(u"b"));
     },
     u" b = \"1 2\""},
    {"attribute made", [](TKaXMLDocument& doc) { return doc.CreateAttribute(u"a", u"v"); },
     u" a = \"v\""},
    {"text taken out", [](TKaXMLDocument& doc) { return TakeOut(doc, TEXT_NODE); }, u"x"},
    {"text made", [](TKaXMLDocument& doc) { return doc.CreateTextNode(u"t<"); }, u"t&lt;"},
    {"comment taken out", [](TKaXMLDocument& doc) { return TakeOut(doc, COMMENT_NODE); },
     u"\r\n   <!--k-->"},
    {"comment made", [](TKaXMLDocument& doc) { return doc.CreateComment(u"c"); }, u"\r\n   <!--c-->"},
    {"CDATA taken out", [](TKaXMLDocument& doc) { return TakeOut(doc, CDATA_SECTION_NODE); },
     u"\r\n   <![CDATA[d]]>"},
    {"CDATA made", [](TKaXMLDocument& doc) { return doc.CreateCDATASection(u"s"); },
     u"\r\n   <![CDATA[s]]>"},
    {"PI taken out",
     [](TKaXMLDocument& doc) { return TakeOut(doc, PROCESSING_INSTRUCTION_NODE); },
     u"\r\n   <?p q?>"},
    {"PI made", [](TKaXMLDocument& doc) { return doc.CreateProcessingInstruction(u"t", u"d"); },
     u"\r\n   <?t d?>"},
    {"reference taken out",
     [](TKaXMLDocument& doc) { return TakeOut(doc, ENTITY_REFERENCE_NODE); }, u"&u;"},
    {"reference made", [](TKaXMLDocument& doc) { return doc.CreateEntityReference(u"e"); },
     u"&e;"},
    {"fragment made", [](TKaXMLDocument& doc) -> std::unique_ptr<TKaXMLNode> {
       auto f = doc.CreateDocumentFragment();
       f->GetNodeList().AppendChild(doc.CreateElement(u"f"));
       return f;
     },
     u" "},
};

TEST(DetachedNode, WorksOnItsOwnAfterItsDocumentIsGone) {
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.kind);
    std::unique_ptr<TKaXMLNode> node;
    std::u16string name, value;
    {
      auto doc = ParseText(kSource);
      node = c.keep(*doc);
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->GetOwnerDocument(), doc.get());
      name = node->GetName();
      value = node->GetValue();
    }
    ExpectNoDocument(*node);
    EXPECT_EQ(node->GetName(), name);
    EXPECT_EQ(node->GetValue(), value);
    EXPECT_EQ(WrittenNode(*node), c.written);

    auto copy = node->CloneNode();
    ExpectNoDocument(*copy);
    EXPECT_EQ(copy->GetName(), name);
    EXPECT_EQ(WrittenNode(*copy), c.written);

    node->SetValue(u"v2");
    EXPECT_EQ(node->GetValue(), u"v2");
    node->Normalize();
    if (node->GetType() == PROCESSING_INSTRUCTION_NODE) node->SetName(u"n2");

    // Inserted into another document, the node and all it holds join it.
    auto other = TKaXMLDocument::CreateDocument();
    TKaXMLElement* root = other->SetDocumentElement(other->CreateElement(u"o"));
    TKaXMLNode* placed = root->GetNodeList().AppendChild(std::move(node));
    for (TKaXMLNode* n = placed; n && n != root->Next(); n = other->TakeNext(n))
      EXPECT_EQ(n->GetOwnerDocument(), other.get());
    Written(*other);
    placed = root->GetNodeList().AppendChild(std::move(copy));
    EXPECT_EQ(placed->GetOwnerDocument(), other.get());
  }
}

// An attribute's declared type normalizes its value while its document
// lives; once the document is gone no type is known and the value is kept
// as given, until a document that declares the type takes the element in.
TEST(DetachedNode, AttributeTypesComeFromTheLivingDocument) {
  std::unique_ptr<TKaXMLElement> c;
  TKaXMLAttr* b;
  {
    auto doc = ParseText(kSource);
    c = doc->GetDocumentElement()->RemoveChild(doc->GetDocumentElement()->GetFirstChild());
    b = c->GetAttributeNode(u"b");
    b->SetWrittenValue(u" 3  4 ");
    EXPECT_EQ(b->GetValue(), u"3 4");
  }
  b->SetWrittenValue(u" 5  6 ");
  EXPECT_EQ(b->GetValue(), u" 5  6 ");
  c->SetAttribute(u"z", u"&amp;");
  EXPECT_EQ(c->GetAttribute(u"z"), u"&");
  EXPECT_EQ(c->GetAttributeNode(u"z")->GetOwnerDocument(), nullptr);

  auto declaring = ParseText("<!DOCTYPE r [<!ATTLIST c b NMTOKENS #IMPLIED>]><r/>");
  declaring->GetDocumentElement()->AppendChild(std::move(c));
  b->SetWrittenValue(u" 7  8 ");
  EXPECT_EQ(b->GetValue(), u"7 8");
  EXPECT_NE(Written(*declaring).find("<r>\r\n   <c b = \"7 8\" z = \"&amp;\">t</c>\r\n</r>"),
            std::string::npos);
}

// Lists and maps that a caller keeps outlive the document as well: what is
// added to them later takes no document from them.
TEST(DetachedNode, KeptListsAndMapsReadNoDocument) {
  std::unique_ptr<TKaNodeList> list;
  auto map = std::make_unique<TNamedNodeMap>(nullptr);
  {
    auto doc = ParseText(kSource);
    list = TKaNodeList::Create(doc.get());
    list->AppendChild(doc->CreateComment(u"l"));
    map = std::make_unique<TNamedNodeMap>(doc.get());
    map->SetNamedItem(doc->CreateAttribute(u"a", u"1"));
  }
  EXPECT_EQ(list->GetOwnerDocument(), nullptr);
  EXPECT_EQ(list->GetFirst()->GetOwnerDocument(), nullptr);
  auto fresh = TKaXMLDocument::CreateDocument();
  TKaXMLNode* added = list->AppendChild(fresh->CreateComment(u"m"));
  EXPECT_EQ(added->GetOwnerDocument(), nullptr);
  // A map whose document is gone takes nodes of no document only.
  ExpectDOMError([&] { map->SetNamedItem(fresh->CreateAttribute(u"b", u"2")); },
                 WRONG_DOCUMENT_ERR, "TNamedNodeMap.setNamedItem: wrong document error");
  auto orphan = std::make_unique<TKaXMLAttr>(u"c", u"3", nullptr, false);
  map->SetNamedItem(std::move(orphan));
  EXPECT_EQ(map->Length(), 2);
}

}  // namespace
}  // namespace lumora::testing
