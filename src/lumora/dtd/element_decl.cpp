#include "lumora/dtd/element_decl.h"

#include <string>

#include "lumora/dom/dom_exception.h"
#include "lumora/io/wide_output.h"

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
  TKaContentModel* model = Model.get();
  if (model == FContentModel.get()) return model;
  // A model in a tree (another declaration's, or a group of one) belongs
  // there; taking it too would destroy it twice.
  if (model && (model->FParent || model->FList))
    throw EKaDOMException(INUSE_ATTRIBUTE_ERR,
                          "TKaElementDecl.SetContentModel: content model already in use (use clone)");
  FContentModel.reset(Model.Commit());
  if (model) model->FParent = this;
  return model;
}

void TKaElementDecl::Write(TStream& Stream, int Level) {
  if (!FContentModel) return;
  WriteWide(Stream, std::u16string(static_cast<size_t>(Level > 0 ? Level : 0), u' '));
  WriteWide(Stream, u"<!ELEMENT ");
  WriteWide(Stream, FName);
  WriteWide(Stream, u" ");
  FContentModel->Write(Stream, Level);
  WriteWide(Stream, u">\r\n");
}

std::unique_ptr<TKaXMLNode> TKaElementDecl::CloneNode() const {
  auto copy = CreateEmptyEDecl(FName, FOwnerDocument);
  copy->FValue = FValue;
  if (FContentModel) {
    std::unique_ptr<TKaXMLNode> model = FContentModel->CloneNode();
    copy->SetContentModel(static_cast<TKaContentModel*>(model.release()));
  }
  return copy;
}

void TKaElementDecl::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  if (FContentModel) FContentModel->MoveToDocument(Doc);
}

}  // namespace lumora
