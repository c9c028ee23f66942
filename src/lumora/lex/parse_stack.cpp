#include "lumora/lex/parse_stack.h"

#include "lumora/dom/node.h"

namespace lumora {

TXMLStack::~TXMLStack() = default;

std::u16string_view TXMLStack::Pop() {
  if (FNodes.empty()) return {};
  const TKaXMLNode* const top = FNodes.back();
  FNodes.pop_back();
  return top ? std::u16string_view(top->GetName()) : std::u16string_view();
}

}  // namespace lumora
