#include "lumora/dtd/element_decl.h"

namespace lumora {

TKaElementDecl::TKaElementDecl(std::u16string_view Name, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, ELEMENT_DECL_NODE, Doc, TNameRule::kChecked) {}

TKaElementDecl::~TKaElementDecl() = default;

std::unique_ptr<TKaElementDecl> TKaElementDecl::CreateEDecl(std::u16string_view Name,
                                                            uint8_t Kind, TKaXMLDocument* Doc) {
  auto decl = CreateEmptyEDecl(Name, Doc);
  auto model = TKaContentModel::CreateCM(Kind, Doc);
  model->SetType(ocOnce);
  decl->SetContentModel(std::move(model));
  return decl;
}

TKaContentModel* TKaElementDecl::SetContentModel(TAdopt<TKaContentModel> Model) {
  FContentModel.reset(Model.Commit());
  return FContentModel.get();
}

void TKaElementDecl::Write(TStream&, int) {}

std::unique_ptr<TKaXMLNode> TKaElementDecl::CloneNode() const {
  return CreateEmptyEDecl(FName, FOwnerDocument);
}

void TKaElementDecl::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  if (FContentModel) FContentModel->MoveToDocument(Doc);
}

}  // namespace lumora
