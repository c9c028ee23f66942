// The document type node: the name of the document element, the external
// identifier of the DTD, and the declarations in its content list.
#pragma once

#include <memory>

#include "lumora/dom/node_list.h"
#include "lumora/dtd/external_node.h"

namespace lumora {

class TKaDocumentType : public TKaExternalNode {
 public:
  TKaDocumentType(std::u16string_view Name, TKaXMLDocument* Doc)
      : TKaExternalNode(Name, DOCUMENT_TYPE_NODE, Doc, TNameRule::kChecked), FNodeList(Doc, this) {}
  ~TKaDocumentType() override { FNodeList.Clear(); }

  static std::unique_ptr<TKaDocumentType> CreateDTD(std::u16string_view Name, TKaXMLDocument* Doc) {
    return std::make_unique<TKaDocumentType>(Name, Doc);
  }

  TKaNodeList& GetNodeList() { return FNodeList; }
  TKaNodeList& GetContentList() { return FNodeList; }
  TKaXMLNode* GetFirstNode() const { return FNodeList.GetFirst(); }

  // Declarations by name, without regard to the case of ASCII letters.
  TKaXMLNode* GetElementDecl(std::u16string_view Name) const {
    return FNodeList.GetChild(Name, ELEMENT_DECL_NODE);
  }
  TKaXMLNode* GetAttListDecl(std::u16string_view Name) const {
    return FNodeList.GetChild(Name, ATTLIST_DECL_NODE);
  }
  TKaXMLNode* GetEntityDecl(std::u16string_view Name) const {
    return FNodeList.GetChild(Name, ENTITY_NODE);
  }

  void MoveToDocument(TKaXMLDocument* Doc) override {
    TKaXMLNode::MoveToDocument(Doc);
    FNodeList.MoveToDocument(Doc);
  }

  // Reads the external subset. Declarations are read with the DTD parser;
  // until a document carries one, nothing is read.
  void Retrieve() override {}
  // The document-level rules: a root element named as declared, each
  // element declared once.
  void Validate() override;
  // The declaration in the document's write mode: inline, or by reference
  // with the declarations in a DTD file of their own (see TWriteMode).
  void Write(TStream& Stream, int Level) override;

 private:
  TKaNodeList FNodeList;
};

}  // namespace lumora
