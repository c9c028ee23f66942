// The stack of nodes a parser has opened: an element from its start tag to
// its end tag, the document type while its declaration is read.
#pragma once

#include <string_view>
#include <vector>

#include "lumora/framework/object.h"

namespace lumora {

class TKaXMLNode;

// Holds its nodes, never owns them. One vector: pushing and popping an
// element per tag allocates nothing once the stack has grown.
class TXMLStack : public TObject {
 public:
  TXMLStack() = default;
  ~TXMLStack() override;

  void Push(TKaXMLNode* node) { FNodes.push_back(node); }
  // Removes the top node and returns its name, which lives as long as the
  // node (empty for a nil node, and for an empty stack, which is left as it
  // is).
  std::u16string_view Pop();
  // The top node, or nil when the stack is empty.
  TKaXMLNode* GetHead() const { return FNodes.empty() ? nullptr : FNodes.back(); }
  bool IsEmpty() const { return FNodes.empty(); }

 private:
  std::vector<TKaXMLNode*> FNodes;
};

}  // namespace lumora
