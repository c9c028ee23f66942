#include "lumora/dom/named_node_map.h"

#include "lumora/dom/dom_exception.h"

namespace lumora {

TKaXMLNode* TNamedNodeMap::SetNamedItem(TAdopt<TKaXMLNode> Node) {
  if (!Node.get() || Node->GetOwnerDocument() != FList.GetOwnerDocument())
    throw EKaDOMException(WRONG_DOCUMENT_ERR, "TNamedNodeMap.setNamedItem: wrong document error");
  if (Node->GetParent())
    throw EKaDOMException(INUSE_ATTRIBUTE_ERR,
                          "TNamedNodeMap.setNamedItem: attribute already in use (use clone)");
  // The map's items have no parent, so the parent check above cannot see a
  // node that is already one of them; re-adding an item keeps it once.
  TKaXMLNode* old = FList.GetChild(Node->GetName(), Node->GetType());
  if (old == Node.get()) return Node.Commit();
  std::unique_ptr<TKaXMLNode> replaced = old ? FList.Detach(old) : nullptr;
  FList.AppendChild(Node.get());
  return Node.Commit();
}

std::unique_ptr<TKaXMLNode> TNamedNodeMap::RemoveNamedItem(std::u16string_view Name,
                                                           uint8_t NodeType) {
  TKaXMLNode* item = FList.GetChild(Name, NodeType);
  if (!item) throw EKaDOMException(NOT_FOUND_ERR, "TNamedNodeMap.removeNamedItem: item not found");
  return FList.Detach(item);
}

TKaXMLNode* TNamedNodeMap::Item(int Index) const {
  if (Index > Length()) return nullptr;
  return FList.Item(Index, ANY_NODE);
}

}  // namespace lumora
