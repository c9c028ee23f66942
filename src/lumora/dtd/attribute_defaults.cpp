// What an attribute-list declaration does to the element a start tag has
// just made: the values of tokenized types normalized, and optionally the
// declared defaults added.
#include "lumora/dom/attr.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/element_attributes.h"
#include "lumora/io/orvane_error.h"

namespace lumora {

void TKaAttListDecl::ApplyToElement(TKaXMLElement& Element, bool AddDefaults) {
  for (TKaXMLNode* a = Element.GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling()) {
    const TKaAttDef* def = GetAtt(a->GetName());
    if (def && def->GetAttrType() != 0 && def->GetAttrType() != atCDATA)
      static_cast<TKaXMLAttr*>(a)->NormalizeTokens();
  }
  if (!AddDefaults) return;
  // The attributes of the tag, before any default joins them.
  const TElementAttributes attributes(Element);
  for (TKaXMLNode* node = FAttList.GetFirst(); node; node = node->Next()) {
    const auto* def = static_cast<const TKaAttDef*>(node);
    const uint8_t kind = def->GetDefaultKind();
    if ((kind != dkFixed && kind != dkValue) || !def->IsComplete() ||
        attributes.Has(def->GetName()))
      continue;
    std::unique_ptr<TKaXMLAttr> attr;
    try {
      attr = def->CreateDefaultAttr();
    } catch (const EKaOrvaneError&) {
      // A default that does not resolve is not made up: the tree stays as read.
      continue;
    }
    attr->SetDefaulted(true);
    attr->SetPosition(Element.GetLine(), Element.GetColumn());
    Element.GetNodeList().AppendChild(std::move(attr));
  }
}

}  // namespace lumora
