// The stack of nodes a parser has opened: an element from its start tag to
// its end tag, the document type while its declaration is read.
#pragma once

#include <string>

#include "lumora/framework/object.h"

namespace lumora {

class TKaXMLNode;

class TXMLStackElement : public TObject {
 public:
  TXMLStackElement(TKaXMLNode* node, TXMLStackElement* next) : FNode(node), FNext(next) {}

  TKaXMLNode* FNode;        // not owned; may be nil
  TXMLStackElement* FNext;  // the element below
};

// Owns its elements, never their nodes.
class TXMLStack : public TObject {
 public:
  TXMLStack() = default;
  ~TXMLStack() override;

  void Push(TKaXMLNode* node) { FHead = new TXMLStackElement(node, FHead); }
  // Removes the top element and returns its node's name (empty for a nil
  // node, and for an empty stack, which is left as it is).
  std::u16string Pop();
  // The top node, or nil when the stack is empty.
  TKaXMLNode* GetHead() const { return FHead ? FHead->FNode : nullptr; }
  bool IsEmpty() const { return FHead == nullptr; }

 private:
  TXMLStackElement* FHead = nullptr;
};

}  // namespace lumora
