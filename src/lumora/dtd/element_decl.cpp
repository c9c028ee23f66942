#include "lumora/dtd/element_decl.h"

#include <string>

#include "lumora/dom/document.h"
#include "lumora/dom/dom_exception.h"
#include "lumora/dom/element.h"
#include "lumora/dtd/content_model_matcher.h"
#include "lumora/dtd/document_type.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

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
  FMatcher.reset();
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

const TContentModelAutomaton& TKaElementDecl::GetMatcher(bool Exact) const {
  if (!FMatcher || FMatcher->IsExact() != Exact)
    FMatcher = std::make_unique<TContentModelAutomaton>(*FContentModel, Exact);
  return *FMatcher;
}

void TKaElementDecl::ValidateElementDecl(TKaXMLElement& Element) const {
  if (!FContentModel) return;
  TKaXMLDocument* doc = Element.GetOwnerDocument();
  if (!doc) return;
  const uint8_t kind = FContentModel->GetKind();
  if (kind != cmEmpty && kind != cmMixed && kind != cmChildren) return;
  auto name = [&] { return WideToSystem(Element.GetName()); };
  const TKaNodeList& content = Element.GetNodeList();
  if (kind == cmEmpty) {
    for (const TKaXMLNode* node = content.GetFirst(); node; node = node->Next()) {
      const uint8_t type = node->GetType();
      if (type == ELEMENT_NODE || type == CDATA_SECTION_NODE ||
          type == PROCESSING_INSTRUCTION_NODE ||
          (type == TEXT_NODE && !IsWhiteText(node->ValueView()))) {
        doc->AddError(Format("[Element \"%s\"]: Element declared as EMPTY can not have a content.",
                             name()),
                      &Element);
        return;
      }
    }
    return;
  }
  const TContentModelAutomaton& matcher = GetMatcher(ExactDeclarationNames(doc));
  if (!matcher.IsCompiled()) {
    doc->AddError(Format("[Element \"%s\"]: Content model is too large to be checked.", name()),
                  &Element);
    return;
  }
  if (kind == cmMixed) {
    for (TKaXMLNode* node = content.GetFirst(); node; node = node->Next()) {
      if (node->GetType() != ELEMENT_NODE || matcher.Names(node->GetName())) continue;
      doc->AddError(Format("[Element \"%s\"]: Element is not declared as a child of \"%s\".",
                           WideToSystem(node->GetName()), name()),
                    node);
    }
    return;
  }
  // Element content: one pass over the list both reads the child elements
  // into the automaton and looks for text and CDATA sections.
  TContentModelAutomaton::TRun run(matcher);
  bool improper = false;
  for (const TKaXMLNode* node = content.GetFirst(); node; node = node->Next()) {
    switch (node->GetType()) {
      case ELEMENT_NODE:
        run.Step(node->GetName());
        break;
      case TEXT_NODE:
        improper = improper || !IsWhiteText(node->ValueView());
        break;
      case CDATA_SECTION_NODE:
        improper = true;
        break;
    }
  }
  if (improper)
    doc->AddError(
        Format("[Element \"%s\"]: Element declared as CHILDREN has improper content.", name()),
        &Element);
  if (!run.Accepted())
    doc->AddError(
        Format("[Element \"%s\"]: Content of the element does not match its declaration.", name()),
        &Element);
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
