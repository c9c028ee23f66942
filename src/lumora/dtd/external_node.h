// The base of the nodes that can name an external resource by a system and
// a public literal: the document type, entity and notation declarations.
#pragma once

#include "lumora/dom/node.h"

namespace lumora {

class TKaExternalNode : public TKaXMLNode {
 public:
  // Stores the literal, then reads the resource it names (Retrieve).
  void SetSystemLiteral(std::u16string_view Literal) {
    FSystemLiteral = Literal;
    Retrieve();
  }
  // Stores the literal only: the parsers read the resource when the
  // declaration is complete.
  void StoreSystemLiteral(std::u16string_view Literal) { FSystemLiteral = Literal; }
  void SetPublicLiteral(std::u16string_view Literal) { FPublicLiteral = Literal; }
  const std::u16string& GetSystemLiteral() const { return FSystemLiteral; }
  const std::u16string& GetPublicLiteral() const { return FPublicLiteral; }

  virtual void Retrieve() = 0;

 protected:
  using TKaXMLNode::TKaXMLNode;

  std::u16string FSystemLiteral;
  std::u16string FPublicLiteral;
};

}  // namespace lumora
