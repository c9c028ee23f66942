// The document type node: the name of the document element, the external
// identifier of the DTD, and the declarations in its content list.
#pragma once

#include <memory>

#include "lumora/dom/node_list.h"

namespace lumora {

class TKaDocumentType : public TKaXMLNode {
 public:
  TKaDocumentType(std::u16string_view Name, TKaXMLDocument* Doc)
      : TKaXMLNode(Name, DOCUMENT_TYPE_NODE, Doc, TNameRule::kChecked), FNodeList(Doc, this) {}
  ~TKaDocumentType() override { FNodeList.Clear(); }

  static std::unique_ptr<TKaDocumentType> CreateDTD(std::u16string_view Name, TKaXMLDocument* Doc) {
    return std::make_unique<TKaDocumentType>(Name, Doc);
  }

  TKaNodeList& GetNodeList() { return FNodeList; }
  TKaXMLNode* GetFirstNode() const { return FNodeList.GetFirst(); }

  // Declarations by name, without regard to the case of ASCII letters.
  TKaXMLNode* GetElementDecl(std::u16string_view Name) const {
    return FNodeList.GetChild(Name, ELEMENT_DECL_NODE);
  }
  TKaXMLNode* GetAttListDecl(std::u16string_view Name) const {
    return FNodeList.GetChild(Name, ATTLIST_DECL_NODE);
  }

 private:
  TKaNodeList FNodeList;
};

}  // namespace lumora
