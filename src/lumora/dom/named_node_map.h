// A name-keyed collection of nodes over a list without owner node. The map
// owns its items and destroys them with itself.
#pragma once

#include <memory>

#include "lumora/dom/node_list.h"

namespace lumora {

class TNamedNodeMap : public TObject {
 public:
  explicit TNamedNodeMap(TKaXMLDocument* Doc) : FList(Doc) {}

  // The first item (of the first item's type) whose name matches, or nil.
  TKaXMLNode* GetNamedItem(std::u16string_view Name) const {
    return FList.GetChild(Name, ANY_NODE);
  }
  // Adds Node, replacing (and destroying) an item of the same name and type.
  TKaXMLNode* SetNamedItem(TAdopt<TKaXMLNode> Node);
  // Takes the item out and hands it over; NOT_FOUND_ERR when there is none.
  std::unique_ptr<TKaXMLNode> RemoveNamedItem(std::u16string_view Name, uint8_t NodeType);
  // Items count from 1 (0 gives the first too); nil past the end.
  TKaXMLNode* Item(int Index) const;
  int Length() const { return FList.Length(); }

 private:
  TKaNodeList FList;
};

}  // namespace lumora
