#include <gtest/gtest.h>

#include <memory>

#include "dom/dom_testing.h"
#include "lumora/dom/document.h"
#include "lumora/dom/named_node_map.h"

namespace lumora {
namespace {

using testing::ExpectDOMError;

// An attribute that counts its destruction.
struct CountedAttr : TKaXMLAttr {
  CountedAttr(const char16_t* name, TKaXMLDocument* doc, int* deaths)
      : TKaXMLAttr(name, u"v", doc, false), deaths_(deaths) {}
  ~CountedAttr() override { ++*deaths_; }
  int* deaths_;
};

TEST(NamedNodeMap, SetAddsReplacesAndDestroysTheOldItem) {
  TKaXMLDocument doc;
  int deaths = 0;
  {
    TNamedNodeMap map(&doc);
    EXPECT_EQ(map.Length(), 0);
    EXPECT_EQ(map.Item(1), nullptr);
    EXPECT_EQ(map.GetNamedItem(u"a"), nullptr);

    TKaXMLNode* a = map.SetNamedItem(new CountedAttr(u"a", &doc, &deaths));
    TKaXMLNode* b = map.SetNamedItem(new CountedAttr(u"b", &doc, &deaths));
    EXPECT_EQ(map.Length(), 2);
    EXPECT_EQ(map.Item(0), a);
    EXPECT_EQ(map.Item(1), a);
    EXPECT_EQ(map.Item(2), b);
    EXPECT_EQ(map.Item(3), nullptr);
    EXPECT_EQ(map.GetNamedItem(u"B"), b);
    EXPECT_EQ(a->GetParent(), nullptr);  // the map's list has no owner node

    // Same name and type: the old item goes and dies; the new one is last.
    TKaXMLNode* a2 = map.SetNamedItem(new CountedAttr(u"a", &doc, &deaths));
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(map.Length(), 2);
    EXPECT_EQ(map.Item(1), b);
    EXPECT_EQ(map.Item(2), a2);

    // Giving the map an item it already holds keeps it once and alive.
    EXPECT_EQ(map.SetNamedItem(a2), a2);
    EXPECT_EQ(map.Length(), 2);
    EXPECT_EQ(deaths, 1);

    // Another type under the same name does not replace.
    TKaXMLNode* other = map.SetNamedItem(new TKaXMLNode(u"a", ELEMENT_NODE, &doc));
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(map.GetNamedItem(u"a"), a2);  // searched among the first item's type
    EXPECT_EQ(map.Length(), 2);             // so is the length
    EXPECT_EQ(map.RemoveNamedItem(u"a", ELEMENT_NODE).get(), other);
  }
  EXPECT_EQ(deaths, 3);  // the map destroys what it still holds
}

TEST(NamedNodeMap, FailuresLeaveMapAndNodeAlone) {
  TKaXMLDocument doc, other;
  TNamedNodeMap map(&doc);
  map.SetNamedItem(doc.CreateAttribute(u"a", u"1"));

  auto foreign = other.CreateAttribute(u"a", u"2");
  ExpectDOMError([&] { map.SetNamedItem(std::move(foreign)); }, WRONG_DOCUMENT_ERR,
                 "TNamedNodeMap.setNamedItem: wrong document error");
  EXPECT_NE(foreign, nullptr);

  auto e = doc.CreateElement(u"e");
  TKaXMLAttr* owned = e->SetAttributeNode(doc.CreateAttribute(u"a", u"3"));
  ExpectDOMError([&] { map.SetNamedItem(owned); }, INUSE_ATTRIBUTE_ERR,
                 "TNamedNodeMap.setNamedItem: attribute already in use (use clone)");
  EXPECT_EQ(owned->GetParent(), e.get());
  EXPECT_EQ(map.GetNamedItem(u"a")->GetValue(), u"1");

  ExpectDOMError([&] { map.RemoveNamedItem(u"zz", ATTRIBUTE_NODE); }, NOT_FOUND_ERR,
                 "TNamedNodeMap.removeNamedItem: item not found");
  ExpectDOMError([&] { map.RemoveNamedItem(u"a", ELEMENT_NODE); }, NOT_FOUND_ERR,
                 "TNamedNodeMap.removeNamedItem: item not found");
  EXPECT_EQ(map.Length(), 1);

  // A removed item is the caller's and may come back.
  auto removed = map.RemoveNamedItem(u"A", ATTRIBUTE_NODE);
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(map.Length(), 0);
  EXPECT_EQ(map.Item(0), nullptr);
  map.SetNamedItem(std::move(removed));
  EXPECT_EQ(map.Length(), 1);
}

}  // namespace
}  // namespace lumora
