// The document's arena: nodes and names outlive their document while the
// caller holds them, move between documents, and go with the last holder.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dom/node_arena.h"
#include "parser/parser_testing.h"

namespace lumora {
namespace {

using testing::ParseText;
using testing::Written;

const std::string kCatalogue =
    "<?xml version=\"1.0\"?>\n<list>\n  <item id=\"i1\" kind=\"a\">first &amp; one<!--c--><?pi d?>"
    "<![CDATA[<x>]]></item>\n  <item id=\"i2\"><sub>second</sub></item>\n</list>";

// What a subtree holds, written out, so that a node read after its document
// is gone is compared in full.
std::string Describe(TKaXMLNode* node) {
  auto doc = TKaXMLDocument::CreateDocument();
  auto copy = node->CloneNode();
  if (TKaXMLElement* element = TKaXMLElement::AsElement(copy.get())) {
    doc->SetDocumentElement(std::unique_ptr<TKaXMLElement>(
        static_cast<TKaXMLElement*>(copy.release())));
    element->SetDocument(doc.get());
    return Written(*doc);
  }
  return std::string(copy->GetName().begin(), copy->GetName().end()) + "=" +
         std::string(copy->GetValue().begin(), copy->GetValue().end());
}

TEST(NodeArena, NodesTakenOutLiveOnAfterTheirDocument) {
  auto doc = ParseText(kCatalogue);
  TKaXMLElement* list = doc->GetDocumentElement();
  TKaXMLElement* first = list->GetFirstChild();
  const std::string expected = Describe(first);
  std::unique_ptr<TKaXMLElement> kept = list->RemoveChild(first);
  std::unique_ptr<TKaXMLAttr> attr = list->GetFirstChild()->RemoveAttribute(u"id");
  std::unique_ptr<TKaXMLNode> text = kept->RemoveCharData(kept->GetFirstCharData());
  doc.reset();

  EXPECT_EQ(kept->GetName(), u"item");
  EXPECT_EQ(kept->GetAttribute(u"kind"), u"a");
  EXPECT_EQ(attr->GetName(), u"id");
  EXPECT_EQ(attr->GetValue(), u"i2");
  EXPECT_EQ(text->GetValue(), u"first & one");
  EXPECT_NE(Describe(kept.get()), expected);  // the text is gone from it
  // The survivors can still change, and grow with nodes of their own kind.
  kept->SetName(u"renamed");
  EXPECT_EQ(kept->GetName(), u"renamed");
  kept->SetAttribute(u"extra", u"1");
  EXPECT_EQ(kept->GetAttribute(u"extra"), u"1");
  EXPECT_EQ(attr->CloneNode()->GetValue(), u"i2");
  auto* data = static_cast<TKaXMLText*>(text.get());
  std::unique_ptr<TKaXMLText> rest = data->SplitText(5);
  EXPECT_EQ(data->GetValue(), u"first");
  EXPECT_EQ(rest->CloneNode()->GetValue(), u" & one");
  // Nodes made and given back again after the document is gone. (Only new
  // attributes: changing one asks its owner document for declarations.)
  for (int round = 0; round < 26; ++round) {
    kept->SetAttribute(u"n" + std::u16string(1, static_cast<char16_t>(u'a' + round)), u"v");
    kept->SetCharData(TKaXMLText::CreateText(u"more text than fits inline", nullptr));
    kept->RemoveCharData(kept->GetFirstCharData());
    kept->AppendChild(std::unique_ptr<TKaXMLElement>(
        static_cast<TKaXMLElement*>(kept->CloneNode().release())));
    kept->RemoveChild(kept->GetFirstChild());
  }
  EXPECT_EQ(kept->GetAttribute(u"nz"), u"v");
  EXPECT_EQ(kept->GetFirstCharData(), nullptr);
  EXPECT_EQ(kept->GetFirstChild(), nullptr);
}

TEST(NodeArena, NodesMovedBetweenDocumentsKeepTheirNames) {
  auto target = TKaXMLDocument::CreateDocument();
  TKaXMLElement* root = target->SetDocumentElement(target->CreateElement(u"root"));
  for (int round = 0; round < 3; ++round) {
    auto source = ParseText(kCatalogue);
    TKaXMLElement* list = source->GetDocumentElement();
    std::unique_ptr<TKaXMLElement> item = list->RemoveChild(list->GetFirstChild());
    item->SetDocument(target.get());
    root->AppendChild(std::move(item));
    // The source and its arena go; the moved nodes hold what they use of it.
  }
  int items = 0;
  for (TKaXMLElement* e = root->GetFirstChild(); e; e = e->NextSibling()) {
    ++items;
    EXPECT_EQ(e->GetName(), u"item");
    EXPECT_EQ(e->GetAttribute(u"id"), u"i1");
    EXPECT_EQ(e->GetOwnerDocument(), target.get());
  }
  EXPECT_EQ(items, 3);
  const std::string written = Written(*target);
  EXPECT_NE(written.find("<item id = \"i1\" kind = \"a\">first &amp; one"), std::string::npos)
      << written;
}

TEST(NodeArena, RenamingAndCloningMakeIndependentNames) {
  auto doc = ParseText(kCatalogue);
  TKaXMLElement* first = doc->GetDocumentElement()->GetFirstChild();
  TKaXMLElement* second = first->NextSibling();
  // Both share the interned "item": renaming one leaves the other.
  first->SetName(u"changed");
  EXPECT_EQ(first->GetName(), u"changed");
  EXPECT_EQ(second->GetName(), u"item");
  first->SetName(first->GetName());  // a node renamed to its own name
  EXPECT_EQ(first->GetName(), u"changed");

  std::unique_ptr<TKaXMLNode> clone = second->CloneNode();
  std::unique_ptr<TKaXMLNode> free = TKaXMLNode::CreateNode(u"loose", ELEMENT_NODE, nullptr);
  doc.reset();
  EXPECT_EQ(clone->GetName(), u"item");
  auto* element = TKaXMLElement::AsElement(clone.get());
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->GetFirstChild()->GetName(), u"sub");
  EXPECT_EQ(free->GetName(), u"loose");
  free->SetName(u"still loose");
  EXPECT_EQ(free->GetName(), u"still loose");
}

TEST(NodeArena, AReparsedDocumentStartsAFreshArena) {
  TKaOrvane parser(nullptr);
  std::unique_ptr<TKaXMLDocument> doc = ParseText(parser, kCatalogue);
  TKaXMLElement* list = doc->GetDocumentElement();
  std::unique_ptr<TKaXMLElement> kept = list->RemoveChild(list->GetFirstChild());
  TStringStream again("<other a=\"1\"/>");
  parser.Parse(again, doc);  // clears the document first
  EXPECT_EQ(doc->GetDocumentElement()->GetName(), u"other");
  EXPECT_EQ(doc->GetDocumentElement()->GetAttribute(u"a"), u"1");
  EXPECT_EQ(kept->GetName(), u"item");
  EXPECT_EQ(kept->GetAttribute(u"kind"), u"a");
  doc->AssignParser(nullptr);
  doc.reset();
  EXPECT_EQ(kept->GetAttribute(u"id"), u"i1");
}

TEST(NodeArena, DeepAndLongTreesAreDestroyed) {
  // Built through the factories, so that every node comes from the arena.
  for (const bool deep : {true, false}) {
    auto doc = TKaXMLDocument::CreateDocument();
    TKaXMLElement* at = doc->SetDocumentElement(doc->CreateElement(u"r"));
    for (int i = 0; i < 200000; ++i) {
      TKaXMLElement* child = at->AppendChild(doc->CreateElement(u"e"));
      child->SetAttribute(u"n", u"v");
      if (deep) at = child;
    }
    EXPECT_GT(doc->NodeArena().ReservedBytes(), 200000u * sizeof(TKaXMLElement));
  }
}

TEST(NodeArena, FreedBlocksAreReused) {
  auto doc = TKaXMLDocument::CreateDocument();
  TKaXMLElement* root = doc->SetDocumentElement(doc->CreateElement(u"r"));
  for (int i = 0; i < 1000; ++i) root->SetCharData(doc->CreateTextNode(u"x"));
  const size_t reserved = doc->NodeArena().ReservedBytes();
  for (int round = 0; round < 20; ++round) {
    while (TKaXMLNode* text = root->GetFirstCharData()) root->RemoveCharData(text);
    for (int i = 0; i < 1000; ++i) root->SetCharData(doc->CreateTextNode(u"x"));
  }
  EXPECT_EQ(doc->NodeArena().ReservedBytes(), reserved);
}

TEST(NodeArena, DocumentsOnSeveralThreads) {
  std::string big = "<list>";
  for (int i = 0; i < 2000; ++i)
    big += "<item n=\"" + std::to_string(i) + "\">text " + std::to_string(i) + "</item>";
  big += "</list>";
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        auto doc = ParseText(big);
        TKaXMLElement* list = doc->GetDocumentElement();
        auto last = list->RemoveChild(TKaXMLElement::AsElement(list->GetNodeList().GetLast()));
        doc.reset();
        const std::u16string n = last->GetAttribute(u"n");
        results[t] = std::string(n.begin(), n.end());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& result : results) EXPECT_EQ(result, "1999");
}

}  // namespace
}  // namespace lumora
