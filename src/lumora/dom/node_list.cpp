#include "lumora/dom/node_list.h"

#include "lumora/dom/dom_exception.h"
#include "lumora/framework/sysutils.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

const char kOutOfList[] =
    "TKaNodeList.RemoveChildNode: you are trying to remove child out of list.";

}  // namespace

TKaNodeList::~TKaNodeList() {
  // The owner node is being destroyed as well: nothing to tell it.
  TKaXMLNode* first = FFirst;
  FFirst = FLast = nullptr;
  DestroyNodeChain(first);
}

void TKaNodeList::Clear() {
  TKaXMLNode* first = FFirst;
  FFirst = FLast = nullptr;
  if (first && FParent) FParent->ChildUnlinked(*first);
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

bool TKaNodeList::Holds(const TKaXMLNode* node) const {
  return node && node->FList == this;
}

void TKaNodeList::CheckFree(const TKaXMLNode* NewChild, const char* message) {
  if (!NewChild)
    throw EKaDOMException(INVALID_POINTER_ERR,
                          "TKaNodeList: you are trying to insert not existing child");
  // Linked anywhere, a list without owner included: linking it here as well
  // would put it in two chains, and destroy it twice.
  if (NewChild->FList || NewChild->FParent)
    throw EKaDOMException(INUSE_ATTRIBUTE_ERR, Format(message, WideToSystem(NewChild->FName)));
}

void TKaNodeList::CheckReference(const TKaXMLNode* RefChild, const char* message) const {
  if (!Holds(RefChild)) throw EKaDOMException(INVALID_POINTER_ERR, message);
}

// Links NewChild between before and after (either may be nil at an end).
void TKaNodeList::Adopt(TKaXMLNode* NewChild, TKaXMLNode* before, TKaXMLNode* after) {
  NewChild->FPrevious = before;
  NewChild->FNext = after;
  (before ? before->FNext : FFirst) = NewChild;
  (after ? after->FPrevious : FLast) = NewChild;
  NewChild->FParent = FParent;
  NewChild->FList = this;
  // A node from another document comes over with all it holds: otherwise its
  // content would point at that document after it is gone.
  if (!NewChild->FOwnerDocument.SameDocument(FOwnerDocument) && FOwnerDocument &&
      NewChild->FOwnerDocument)
    NewChild->MoveToDocument(FOwnerDocument);
}

TKaXMLNode* TKaNodeList::AppendChild(TAdopt<TKaXMLNode> NewChild) {
  CheckFree(NewChild.get(),
            "TNamedNodeMap.setNamedItem: attribute \"%s\" already in use (use clone)");
  Adopt(NewChild.get(), FLast, nullptr);
  if (!NewChild->FOwnerDocument.SameDocument(FOwnerDocument))
    NewChild->MoveToDocument(FOwnerDocument);
  return NewChild.Commit();
}

TKaXMLNode* TKaNodeList::AppendNew(std::unique_ptr<TKaXMLNode> NewChild) {
  TKaXMLNode* node = NewChild.release();
  Adopt(node, FLast, nullptr);
  return node;
}

TKaXMLNode* TKaNodeList::InsertBefore(TAdopt<TKaXMLNode> NewChild, TKaXMLNode* RefChild) {
  CheckFree(NewChild.get(), "TKaNodeList.insertBefore: attribute already in use (use clone)");
  if (!RefChild) return AppendChild(std::move(NewChild));
  CheckReference(RefChild,
                 "TKaNodeList.insertBefore: you are trying to insert before child out of list.");
  Adopt(NewChild.get(), RefChild->FPrevious, RefChild);
  return NewChild.Commit();
}

TKaXMLNode* TKaNodeList::InsertAfter(TAdopt<TKaXMLNode> NewChild, TKaXMLNode* RefChild) {
  CheckFree(NewChild.get(), "TKaNodeList.insertAfter: attribute already in use (use clone)");
  if (!RefChild) return AppendChild(std::move(NewChild));
  CheckReference(RefChild,
                 "TKaNodeList.insertAfter: you are trying to insert after child out of list.");
  Adopt(NewChild.get(), RefChild, RefChild->FNext);
  return NewChild.Commit();
}

std::unique_ptr<TKaXMLNode> TKaNodeList::ReplaceChild(TAdopt<TKaXMLNode> NewChild,
                                                      TKaXMLNode* OldChild) {
  if (!NewChild.get() || !OldChild)
    throw EKaDOMException(INVALID_POINTER_ERR,
                          "TKaNodeList.replaceChild: you are trying to replace not exist child");
  if (!NewChild->FOwnerDocument.SameDocument(FOwnerDocument))
    throw EKaDOMException(WRONG_DOCUMENT_ERR, "different documents");
  if (NewChild.get() == OldChild) return nullptr;
  if (!Holds(OldChild))
    throw EKaDOMException(INVALID_POINTER_ERR,
                          "TKaNodeList.replaceChild: you are trying to replace not exist child");
  // A node that is still linked elsewhere would end up in two lists at once.
  CheckFree(NewChild.get(), "TKaNodeList.replaceChild: attribute already in use (use clone)");
  TKaXMLNode* before = OldChild->FPrevious;
  TKaXMLNode* after = OldChild->FNext;
  OldChild->FPrevious = OldChild->FNext = nullptr;
  OldChild->FParent = nullptr;
  OldChild->FList = nullptr;
  if (FParent) FParent->ChildUnlinked(*OldChild);
  Adopt(NewChild.get(), before, after);
  NewChild.Commit();
  return std::unique_ptr<TKaXMLNode>(OldChild);
}

std::unique_ptr<TKaXMLNode> TKaNodeList::RemoveChildNode(TKaXMLNode* OldChild) {
  if (!OldChild)
    throw EKaDOMException(
        INVALID_POINTER_ERR,
        "TKaNodeList.RemoveChildNode: you are trying to remove not existing child");
  if (!OldChild->FParent) throw EKaDOMException(INVALID_POINTER_ERR, kOutOfList);
  return Detach(OldChild);
}

std::unique_ptr<TKaXMLNode> TKaNodeList::Detach(TKaXMLNode* OldChild) {
  // Unlinking a node of another list would corrupt both lists.
  if (!Holds(OldChild)) throw EKaDOMException(INVALID_POINTER_ERR, kOutOfList);
  (OldChild->FPrevious ? OldChild->FPrevious->FNext : FFirst) = OldChild->FNext;
  (OldChild->FNext ? OldChild->FNext->FPrevious : FLast) = OldChild->FPrevious;
  OldChild->FNext = OldChild->FPrevious = nullptr;
  OldChild->FParent = nullptr;
  OldChild->FList = nullptr;
  if (FParent) FParent->ChildUnlinked(*OldChild);
  return std::unique_ptr<TKaXMLNode>(OldChild);
}

std::unique_ptr<TKaXMLNode> TKaNodeList::RemoveChild(std::u16string_view Name, uint8_t NodeType) {
  return RemoveChildNode(GetChild(Name, NodeType));
}

void TKaNodeList::addList(TKaNodeList& List) {
  if (&List == this) return;
  for (TKaXMLNode* node = List.FFirst; node;) {
    TKaXMLNode* next = node->FNext;
    AppendChild(List.RemoveChildNode(node));
    node = next;
  }
}

}  // namespace lumora
