#include "lumora/lex/parse_stack.h"

#include "lumora/dom/node.h"

namespace lumora {

TXMLStack::~TXMLStack() {
  // A loop, not a chain of destructors: the stack can be as deep as a document.
  while (FHead) {
    TXMLStackElement* below = FHead->FNext;
    delete FHead;
    FHead = below;
  }
}

std::u16string TXMLStack::Pop() {
  if (!FHead) return std::u16string();
  TXMLStackElement* top = FHead;
  FHead = top->FNext;
  std::u16string name = top->FNode ? top->FNode->GetName() : std::u16string();
  delete top;
  return name;
}

}  // namespace lumora
