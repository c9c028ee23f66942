// An element type declaration: the element type's name and its content
// model, which it owns.
#pragma once

#include <memory>
#include <string_view>

#include "lumora/dom/node.h"
#include "lumora/dtd/content_model.h"

namespace lumora {

class TKaElementDecl : public TKaXMLNode {
 public:
  // Raises EKaDOMException INVALID_CHARACTER_ERR when Name is not an XML name.
  TKaElementDecl(std::u16string_view Name, TKaXMLDocument* Doc);
  ~TKaElementDecl() override;

  // A declaration that has no content model yet.
  static std::unique_ptr<TKaElementDecl> CreateEmptyEDecl(std::u16string_view Name,
                                                          TKaXMLDocument* Doc) {
    return std::make_unique<TKaElementDecl>(Name, Doc);
  }
  // A declaration with a top node of that kind, occurring once.
  static std::unique_ptr<TKaElementDecl> CreateEDecl(std::u16string_view Name, uint8_t Kind,
                                                     TKaXMLDocument* Doc);

  // Replaces (and destroys) the model. Model must not be in a tree yet;
  // nil leaves the declaration without a model.
  TKaContentModel* SetContentModel(TAdopt<TKaContentModel> Model);
  TKaContentModel* GetContentModel() const { return FContentModel.get(); }

  // "<!ELEMENT name spec>" and a line end, indented by Level spaces. A
  // declaration without a model writes nothing: it never was complete.
  void Write(TStream& Stream, int Level) override;
  // A copy with a copy of the model.
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
  void MoveToDocument(TKaXMLDocument* Doc) override;

 private:
  std::unique_ptr<TKaContentModel> FContentModel;
};

}  // namespace lumora
