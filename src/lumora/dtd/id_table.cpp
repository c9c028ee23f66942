#include "lumora/dtd/id_table.h"

#include "lumora/dom/element.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_rules.h"

namespace lumora {

namespace {

bool DeclaresIDs(const TKaDocumentType& DocType) {
  for (const TKaXMLNode* node = DocType.GetContentList().GetRoot(ATTLIST_DECL_NODE); node;
       node = node->NextSibling()) {
    const auto* list = dynamic_cast<const TKaAttListDecl*>(node);
    for (const TKaXMLNode* def = list ? list->GetFirstNode() : nullptr; def; def = def->Next())
      if (static_cast<const TKaAttDef*>(def)->GetAttrType() == atID) return true;
  }
  return false;
}

}  // namespace

TIDTable::TIDTable(const TKaXMLElement& Root, const TKaDocumentType& DocType) {
  // Without ID definitions there is nothing to look for in the tree.
  if (!DeclaresIDs(DocType)) return;
  TElementRules rules(DocType);
  for (const TKaXMLElement* e = &Root; e; e = NextElementInSubtree(&Root, e)) {
    TElementRule& rule = rules.For(e->GetName());
    if (!rule.DeclaresID) continue;
    for (const TKaXMLNode* a = e->GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling()) {
      const TKaAttDef* def = rules.AttDef(rule, a->GetName());
      if (def && def->GetAttrType() == atID) ++FCounts[a->ValueView()];
    }
  }
}

}  // namespace lumora
