// An element type declaration: the element type's name and its content
// model, which it owns.
#pragma once

#include <memory>
#include <string_view>

#include "lumora/dom/node.h"
#include "lumora/dtd/content_model.h"

namespace lumora {

class TContentModelAutomaton;
class TKaXMLElement;

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
  // nil leaves the declaration without a model. The model is compiled for
  // matching at its first use; a model changed in place after that is
  // compiled again once it is handed to SetContentModel again.
  TKaContentModel* SetContentModel(TAdopt<TKaContentModel> Model);
  TKaContentModel* GetContentModel() const { return FContentModel.get(); }
  // The model compiled for names compared exactly (Exact) or without the
  // case of ASCII letters; made at the first call, kept until the model
  // changes. Requires a model.
  const TContentModelAutomaton& GetMatcher(bool Exact) const;

  // Checks Element's content against the model and records each violation
  // in the document's error list: content in an EMPTY element, elements a
  // mixed model does not name, text or CDATA sections in element content,
  // and child elements that do not follow the model. Comments and text of
  // white space alone are allowed in every kind of content, processing
  // instructions in all but EMPTY.
  void ValidateElementDecl(TKaXMLElement& Element) const;

  // "<!ELEMENT name spec>" and a line end, indented by Level spaces. A
  // declaration without a model writes nothing: it never was complete.
  void Write(TStream& Stream, int Level) override;
  // A copy with a copy of the model.
  std::unique_ptr<TKaXMLNode> CloneNode() const override;
  void MoveToDocument(TKaXMLDocument* Doc) override;

 private:
  std::unique_ptr<TKaContentModel> FContentModel;
  mutable std::unique_ptr<TContentModelAutomaton> FMatcher;
};

}  // namespace lumora
