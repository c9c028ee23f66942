// A notation declaration (<!NOTATION name PUBLIC "..." "..."> or SYSTEM):
// its identifiers, kept as written.
#pragma once

#include <memory>

#include "lumora/dtd/external_node.h"

namespace lumora {

class TKaNotation : public TKaExternalNode {
 public:
  TKaNotation(std::u16string_view Name, TKaXMLDocument* Doc)
      : TKaExternalNode(Name, NOTATION_NODE, Doc, TNameRule::kChecked) {}

  static std::unique_ptr<TKaNotation> CreateNotation(std::u16string_view Name,
                                                     TKaXMLDocument* Doc) {
    return std::make_unique<TKaNotation>(Name, Doc);
  }

  // A notation names a resource; nothing is read.
  void Retrieve() override {}
  // The name, then the identifiers on a line of their own; the write mode
  // makes no difference.
  void Write(TStream& Stream, int Level) override;
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
};

}  // namespace lumora
