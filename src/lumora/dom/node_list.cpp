#include "lumora/dom/node_list.h"

#include "lumora/dom/dom_exception.h"
#include "lumora/framework/sysutils.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

TKaNodeList::~TKaNodeList() {
  Clear();
}

void TKaNodeList::Clear() {
  TKaXMLNode* first = FFirst;
  FFirst = FLast = nullptr;
  DestroyNodeChain(first);
}

TKaXMLNode* TKaNodeList::GetRoot(uint8_t NodeType) const {
  TKaXMLNode* node = FFirst;
  if (NodeType != ANY_NODE) {
    while (node && node->FNodeType != NodeType) node = node->FNext;
  }
  return node;
}

TKaXMLNode* TKaNodeList::GetLastByType(uint8_t NodeType) const {
  TKaXMLNode* node = FLast;
  if (NodeType != ANY_NODE) {
    while (node && node->FNodeType != NodeType) node = node->FPrevious;
  }
  return node;
}

TKaXMLNode* TKaNodeList::Item(int Index, uint8_t NodeType) const {
  TKaXMLNode* node = GetRoot(NodeType);
  for (int i = 1; i < Index && node; ++i) node = node->NextSibling();
  return node;
}

int TKaNodeList::Length() const {
  int count = 0;
  for (TKaXMLNode* node = FFirst; node; node = node->NextSibling()) ++count;
  return count;
}

TKaXMLNode* TKaNodeList::GetChild(std::u16string_view Name, uint8_t NodeType) const {
  for (TKaXMLNode* node = GetRoot(NodeType); node; node = node->NextSibling()) {
    if (XMLCompareText(node->FName, Name) == 0) return node;
  }
  return nullptr;
}

void TKaNodeList::CheckFree(const TKaXMLNode* NewChild, const char* message) {
  if (NewChild->FParent)
    throw EKaDOMException(INUSE_ATTRIBUTE_ERR, Format(message, WideToSystem(NewChild->FName)));
}

// Links NewChild between before and after (either may be nil at an end).
void TKaNodeList::Adopt(TKaXMLNode* NewChild, TKaXMLNode* before, TKaXMLNode* after) {
  NewChild->FPrevious = before;
  NewChild->FNext = after;
  (before ? before->FNext : FFirst) = NewChild;
  (after ? after->FPrevious : FLast) = NewChild;
  NewChild->FParent = FParent;
}

TKaXMLNode* TKaNodeList::AppendChild(TKaXMLNode* NewChild) {
  CheckFree(NewChild, "TNamedNodeMap.setNamedItem: attribute \"%s\" already in use (use clone)");
  Adopt(NewChild, FLast, nullptr);
  NewChild->FOwnerDocument = FOwnerDocument;
  return NewChild;
}

TKaXMLNode* TKaNodeList::InsertBefore(TKaXMLNode* NewChild, TKaXMLNode* RefChild) {
  CheckFree(NewChild, "TKaNodeList.insertBefore: attribute already in use (use clone)");
  if (!RefChild) return AppendChild(NewChild);
  Adopt(NewChild, RefChild->FPrevious, RefChild);
  return NewChild;
}

TKaXMLNode* TKaNodeList::InsertAfter(TKaXMLNode* NewChild, TKaXMLNode* RefChild) {
  CheckFree(NewChild, "TKaNodeList.insertAfter: attribute already in use (use clone)");
  if (!RefChild) return AppendChild(NewChild);
  Adopt(NewChild, RefChild, RefChild->FNext);
  return NewChild;
}

std::unique_ptr<TKaXMLNode> TKaNodeList::ReplaceChild(TKaXMLNode* NewChild, TKaXMLNode* OldChild) {
  if (!NewChild || !OldChild)
    throw EKaDOMException(INVALID_POINTER_ERR,
                          "TKaNodeList.replaceChild: you are trying to replace not exist child");
  if (NewChild->FOwnerDocument != FOwnerDocument)
    throw EKaDOMException(WRONG_DOCUMENT_ERR, "different documents");
  if (NewChild == OldChild) return nullptr;
  // A node that is still linked elsewhere would end up in two lists at once.
  CheckFree(NewChild, "TKaNodeList.replaceChild: attribute already in use (use clone)");
  TKaXMLNode* before = OldChild->FPrevious;
  TKaXMLNode* after = OldChild->FNext;
  OldChild->FPrevious = OldChild->FNext = nullptr;
  OldChild->FParent = nullptr;
  Adopt(NewChild, before, after);
  return std::unique_ptr<TKaXMLNode>(OldChild);
}

std::unique_ptr<TKaXMLNode> TKaNodeList::RemoveChildNode(TKaXMLNode* OldChild) {
  if (!OldChild)
    throw EKaDOMException(
        INVALID_POINTER_ERR,
        "TKaNodeList.RemoveChildNode: you are trying to remove not existing child");
  // A node of another owner's list would be unlinked with this list's ends.
  if (!OldChild->FParent || OldChild->FParent != FParent)
    throw EKaDOMException(
        INVALID_POINTER_ERR,
        "TKaNodeList.RemoveChildNode: you are trying to remove child out of list.");
  (OldChild->FPrevious ? OldChild->FPrevious->FNext : FFirst) = OldChild->FNext;
  (OldChild->FNext ? OldChild->FNext->FPrevious : FLast) = OldChild->FPrevious;
  OldChild->FNext = OldChild->FPrevious = nullptr;
  OldChild->FParent = nullptr;
  return std::unique_ptr<TKaXMLNode>(OldChild);
}

std::unique_ptr<TKaXMLNode> TKaNodeList::RemoveChild(std::u16string_view Name, uint8_t NodeType) {
  return RemoveChildNode(GetChild(Name, NodeType));
}

void TKaNodeList::addList(TKaNodeList& List) {
  if (&List == this) return;
  for (TKaXMLNode* node = List.FFirst; node;) {
    TKaXMLNode* next = node->FNext;
    AppendChild(List.RemoveChildNode(node).release());
    node = next;
  }
}

}  // namespace lumora
