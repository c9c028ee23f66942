#include "lumora/dtd/id_table.h"

#include "lumora/dom/element.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"

namespace lumora {

TIDTable::TIDTable(const TKaXMLElement& Root, const TKaDocumentType& DocType) {
  for (const TKaXMLElement* e = &Root; e; e = NextElementInSubtree(&Root, e)) {
    // One lookup of the element's declaration serves all its attributes.
    const TKaAttListDecl* list = DocType.GetAttListDecl(e->GetName());
    if (!list) continue;
    for (const TKaXMLNode* a = e->GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling()) {
      const TKaAttDef* def = list->GetAtt(a->GetName());
      if (def && def->GetAttrType() == atID) ++FCounts[a->GetValue()];
    }
  }
}

}  // namespace lumora
