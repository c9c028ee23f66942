#include "lumora/dom/container.h"

#include "lumora/dom/dom_exception.h"
#include "lumora/framework/sysutils.h"
#include "lumora/text/char_classes.h"

namespace lumora {
TKaContainer::~TKaContainer() {
  // The content goes first, while the container is still whole.
  FNodeList.Clear();
}

std::u16string TKaContainer::GetAttribute(std::u16string_view Name) const {
  const TKaXMLAttr* attr = GetAttributeNode(Name);
  return attr ? std::u16string(attr->ValueView()) : std::u16string();
}

TKaXMLAttr* TKaContainer::GetAttributeNode(std::u16string_view Name) const {
  return static_cast<TKaXMLAttr*>(FNodeList.GetChild(Name, ATTRIBUTE_NODE));
}

TKaXMLAttr* TKaContainer::GetFirstAttribute() const {
  return static_cast<TKaXMLAttr*>(FNodeList.GetRoot(ATTRIBUTE_NODE));
}

void TKaContainer::SetAttribute(std::u16string_view Name, std::u16string_view Value) {
  if (TKaXMLAttr* attr = GetAttributeNode(Name)) {
    attr->SetWrittenValue(CharsToReference(Value));
  } else {
    FNodeList.AppendChild(
        MakeBeside<TKaXMLAttr>(Name, CharsToReference(Value), FOwnerDocument, false));
  }
}

void TKaContainer::FSetAttribute(std::u16string_view Name, std::u16string_view Value) {
  if (TKaXMLAttr* attr = GetAttributeNode(Name)) {
    attr->SetWrittenValue(Value);
  } else {
    FNodeList.AppendChild(MakeBeside<TKaXMLAttr>(Name, Value, FOwnerDocument, false));
  }
}

std::unique_ptr<TKaXMLAttr> TKaContainer::RemoveAttribute(std::u16string_view Name) {
  TKaXMLAttr* attr = GetAttributeNode(Name);
  if (!attr) return nullptr;
  if (attr->StandardAttribute())
    throw EKaDOMException(
        INUSE_ATTRIBUTE_ERR,
        "TKaXMLDocument.removeAttribute: you are trying to remove default attribute " +
            WideToSystem(Name));
  return RemoveAttributeNode(attr);
}

TKaXMLAttr* TKaContainer::SetAttributeNode(TAdopt<TKaXMLAttr> Attr) {
  if (!Attr.get())
    throw EKaDOMException(
        INVALID_POINTER_ERR,
        "TKaContainer.setAttributeNode: you are trying to set not existing attribute");
  if (GetAttributeNode(Attr->GetName()))
    throw EKaDOMException(
        DUPLICATE_ATTRIBUTE_ERR,
        "TKaContainer.setAttributeNode: element already contains the attribute \"" +
            WideToSystem(Attr->GetName()) + "\"");
  if (Attr->GetParent())
    throw EKaDOMException(INUSE_ATTRIBUTE_ERR,
                          "TKaContainer.setAttributeNode: attribute already in use");
  if (Attr->GetOwnerDocument() != FOwnerDocument)
    throw EKaDOMException(WRONG_DOCUMENT_ERR,
                          "TKaContainer.setAttributeNode: wrong document in attribute node");
  FNodeList.AppendChild(Attr.get());
  return Attr.Commit();
}

std::unique_ptr<TKaXMLAttr> TKaContainer::RemoveAttributeNode(TKaXMLAttr* Attr) {
  return std::unique_ptr<TKaXMLAttr>(
      static_cast<TKaXMLAttr*>(FNodeList.RemoveChildNode(Attr).release()));
}

void TKaContainer::GetTypeList(TKaNodeList& List, uint8_t NodeType) const {
  for (TKaXMLNode* node = FNodeList.GetRoot(NodeType); node; node = node->NextSibling())
    List.AppendChild(node->CloneNode());
}

}  // namespace lumora
