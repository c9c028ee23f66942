// A doubly linked list of nodes: the content of a node, or a free-standing
// list that a query returns. The list owns its first node and so the chain.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "lumora/dom/node.h"

namespace lumora {

class TKaNodeList : public TObject {
 public:
  // A list without owner node: its nodes have no parent.
  explicit TKaNodeList(TKaXMLDocument* Doc) : TKaNodeList(Doc, nullptr) {}
  // The content list of Parent: its nodes have Parent as parent.
  TKaNodeList(TKaXMLDocument* Doc, TKaXMLNode* Parent) : FParent(Parent), FOwnerDocument(Doc) {}
  // The same, for the content list of a node of Doc's document.
  TKaNodeList(const TDocumentRef& Doc, TKaXMLNode* Parent) : FParent(Parent), FOwnerDocument(Doc) {}
  ~TKaNodeList() override;

  static std::unique_ptr<TKaNodeList> Create(TKaXMLDocument* Doc) {
    return std::make_unique<TKaNodeList>(Doc);
  }
  static std::unique_ptr<TKaNodeList> CreateWithParent(TKaXMLDocument* Doc, TKaXMLNode* Parent) {
    return std::make_unique<TKaNodeList>(Doc, Parent);
  }

  // Destroys every node; the list is empty afterwards.
  void Clear();

  TKaXMLNode* GetFirst() const { return FFirst; }
  TKaXMLNode* GetLast() const { return FLast; }
  bool HasChildNodes() const { return FFirst != nullptr; }
  TKaXMLNode* GetParent() const { return FParent; }
  TKaXMLDocument* GetOwnerDocument() const { return FOwnerDocument; }
  // The document that nodes appended from now on belong to.
  void SetOwnerDocument(TKaXMLDocument* Doc) { FOwnerDocument = Doc; }
  // Moves the list and every node in it, with all they hold, to Doc.
  void MoveToDocument(TKaXMLDocument* Doc) {
    FOwnerDocument = Doc;
    for (TKaXMLNode* node = FFirst; node; node = node->FNext) node->MoveToDocument(Doc);
  }

  // The first (last) node of that type; ANY_NODE means any type.
  TKaXMLNode* GetRoot(uint8_t NodeType) const;
  TKaXMLNode* GetLastByType(uint8_t NodeType) const;
  // The Index-th node (from 1) of the first node of that type's kind; nil past
  // the end. With ANY_NODE the walk stays among nodes of the first node's type.
  virtual TKaXMLNode* Item(int Index, uint8_t NodeType) const;
  // How many nodes share the type of the first node.
  virtual int Length() const;
  // The first node of that type whose name equals Name under XMLCompareText.
  TKaXMLNode* GetChild(std::u16string_view Name, uint8_t NodeType) const;

  // The insert operations adopt NewChild: the list owns it from then on.
  // A node that is already in a list (any list) raises INUSE_ATTRIBUTE_ERR
  // and stays where it is. A RefChild that is not in this very list raises
  // INVALID_POINTER_ERR; a nil RefChild appends. All checks take constant
  // time and come before any change.
  TKaXMLNode* AppendChild(TAdopt<TKaXMLNode> NewChild);
  // Appends a node made just now, free by construction: none of
  // AppendChild's checks can fail, and only a node of another document
  // has anything to move.
  TKaXMLNode* AppendNew(std::unique_ptr<TKaXMLNode> NewChild);
  TKaXMLNode* InsertBefore(TAdopt<TKaXMLNode> NewChild, TKaXMLNode* RefChild);
  TKaXMLNode* InsertAfter(TAdopt<TKaXMLNode> NewChild, TKaXMLNode* RefChild);
  // Puts NewChild (free, of this list's document) in OldChild's place and
  // hands OldChild back to the caller.
  std::unique_ptr<TKaXMLNode> ReplaceChild(TAdopt<TKaXMLNode> NewChild, TKaXMLNode* OldChild);
  // Unlinks OldChild and hands it to the caller.
  virtual std::unique_ptr<TKaXMLNode> RemoveChildNode(TKaXMLNode* OldChild);
  virtual std::unique_ptr<TKaXMLNode> RemoveChild(std::u16string_view Name, uint8_t NodeType);
  // Unlinks a node of this list whether or not the list has an owner (the
  // nodes of lists without owner have no parent, which RemoveChildNode
  // requires); INVALID_POINTER_ERR when the node is not in this list.
  std::unique_ptr<TKaXMLNode> Detach(TKaXMLNode* OldChild);
  // Moves the nodes of List to the end of this list, in order.
  void addList(TKaNodeList& List);

 private:
  void Adopt(TKaXMLNode* NewChild, TKaXMLNode* before, TKaXMLNode* after);
  // Whether node is linked into this very list.
  bool Holds(const TKaXMLNode* node) const;
  static void CheckFree(const TKaXMLNode* NewChild, const char* message);
  void CheckReference(const TKaXMLNode* RefChild, const char* message) const;

  TKaXMLNode* FFirst = nullptr;  // owned, and through it the chain
  TKaXMLNode* FLast = nullptr;
  TKaXMLNode* FParent;
  TDocumentRef FOwnerDocument;
};

}  // namespace lumora
