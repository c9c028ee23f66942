#include "lumora/dtd/content_model.h"

#include "lumora/parser/content_model_parser.h"

namespace lumora {

TKaContentModel::TKaContentModel(std::u16string_view Name, uint8_t Kind, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, CONTENT_MODEL_NODE, Doc), FKind(Kind), FChildren(Doc, this) {}

TKaContentModel::~TKaContentModel() { FChildren.Clear(); }

std::unique_ptr<TKaContentModel> TKaContentModel::CreateCMFromString(std::u16string_view Text,
                                                                     TKaXMLDocument* Doc) {
  std::unique_ptr<TKaContentModel> model;
  TContentModelParser parser(nullptr);
  parser.ParseFromString(Text, model, Doc);
  return model;
}

uint8_t TKaContentModel::GetOccurrence() const {
  return FNodeType == CONTENT_MODEL_NODE ? ocOnce : FNodeType;
}

TKaContentModel* TKaContentModel::AddElement(std::u16string_view Name, uint8_t Occurrence) {
  auto leaf = CreateNamedCM(Name, FKind, FOwnerDocument);
  leaf->SetType(Occurrence);
  return static_cast<TKaContentModel*>(FChildren.AppendChild(std::move(leaf)));
}

TKaContentModel* TKaContentModel::AddContent(TAdopt<TKaContentModel> Model) {
  return static_cast<TKaContentModel*>(FChildren.AppendChild(Model.Commit()));
}

TKaContentModel* TKaContentModel::GetElement(std::u16string_view) const { return nullptr; }

std::string TKaContentModel::ToString() const { return {}; }

void TKaContentModel::Write(TStream&, int) {}

std::unique_ptr<TKaXMLNode> TKaContentModel::CloneNode() const {
  return CreateNamedCM(FName, FKind, FOwnerDocument);
}

void TKaContentModel::MoveToDocument(TKaXMLDocument* Doc) {
  TKaXMLNode::MoveToDocument(Doc);
  FChildren.MoveToDocument(Doc);
}

}  // namespace lumora
