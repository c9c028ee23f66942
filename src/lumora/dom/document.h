// The document: the root of a tree and the factory of its nodes.
#pragma once

#include "lumora/dom/node.h"

namespace lumora {

class TKaXMLDocument : public TKaXMLNode {
 public:
  TKaXMLDocument() : TKaXMLNode(u"", DOCUMENT_NODE, nullptr) { FOwnerDocument = this; }

  // The line the parser that fills this document is at; 0 when no parser is
  // assigned (a document built through the interface).
  int GetLineNumber() const { return 0; }
};

}  // namespace lumora
