// The DTD parser's semantic actions: they make the declaration nodes and
// give them to the document type. The parse stack holds one entry per open
// declaration, and a null entry for a declaration that an earlier one of
// the same name makes void; actions on a null head do nothing.
#include <type_traits>

#include "lumora/dom/character_data.h"
#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/dtd/notation.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/dtd_parser.h"
#include "lumora/text/code_pages.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

template <class T>
T* TDTDParser::Declared(T* Node) {
  if (!Node) return Node;
  if (FExternal) Node->SetExternalDecl(true);
  if constexpr (std::is_base_of_v<TKaExternalNode, T>) Node->SetBaseLocation(DeclarationBase());
  return Node;
}

std::string TDTDParser::DeclarationBase() {
  // The text of a parameter entity lies where the entity's own text does.
  if (ReadingEntityText()) {
    const std::u16string_view name = FGuard->GetTextEntity();
    if (const TKaCustomEntityDecl* entity = DocType().GetEntityDecl(name))
      return entity->GetTextLocation();
  }
  return FExternal ? FFileName : std::string();
}

TKaDocumentType& TDTDParser::DocType() {
  TKaDocumentType* doctype = FDocument ? FDocument->GetDocumentType() : nullptr;
  if (!doctype) RaiseError("The declarations have no document type to go to.");
  return *doctype;
}

void TDTDParser::Emit(int32_t Action, std::u16string_view Text) {
  TKaXMLNode* head = FStack->GetHead();
  auto* entity = dynamic_cast<TKaCustomEntityDecl*>(head);
  switch (Action) {
    case acComment:
      Declared(DocType().SetComment(TKaXMLComment::CreateComment(Text, FDocument)));
      break;
    case acElementDecl:
      if (Text.empty())
        FStack->Pop();
      else
        FStack->Push(
            Declared(DocType().SetElementDecl(TKaElementDecl::CreateEmptyEDecl(Text, FDocument))));
      break;
    case acAttList: {
      // Every ATTLIST of one element fills one declaration.
      TKaAttListDecl* list = DocType().GetAttListDecl(Text);
      if (!list)
        list = Declared(DocType().SetAttListDecl(TKaAttListDecl::CreateAttList(Text, FDocument)));
      FStack->Push(list);
      break;
    }
    case acAttDef: {
      // The first definition of an attribute binds; a later one is read and
      // dropped.
      auto* list = dynamic_cast<TKaAttListDecl*>(head);
      if (!list || list->GetAtt(Text))
        FStack->Push(nullptr);
      else
        FStack->Push(Declared(list->AddAtt(TKaAttDef::CreateEmptyAttDef(Text, FDocument))));
      break;
    }
    case acAttType: {
      const uint8_t type = AttrTypeOfKeyword(Text);
      if (!type) RaiseError(Format("Unknown attribute type: \"%s\".", WideToSystem(Text)));
      // The keywords are written in capitals.
      std::u16string keyword(Text);
      for (char16_t& c : keyword) c = XMLUpCase(c);
      RequireExactKeyword(Text, keyword);
      if (auto* def = dynamic_cast<TKaAttDef*>(head)) {
        def->SetAttrType(type);
        if (type == atNOTATION || type == atEnumeration)
          def->SetEnumeration(TKaEnumeration::CreateEmptyEnumeration(FDocument));
      }
      break;
    }
    case acEnumValue:
      if (auto* def = dynamic_cast<TKaAttDef*>(head); def && def->GetEnumeration())
        def->GetEnumeration()->AddElement(Text);
      break;
    case acAttListEnd:
      FStack->Pop();
      break;
    case acEntityValue:
      if (entity) {
        // While its value is set the entity is open: a reference to itself
        // in its own value is a cycle.
        try {
          TExpansionGuard::TDeclaring declaring(*FGuard, entity->GetName());
          entity->SetValue(Text);
        } catch (const EKaOrvaneError& e) {
          if (e.GetLine() == 0) RaiseErrorAtPrevious(e.Message());
          throw;
        }
        entity->SetInternal(true);
      }
      break;
    case acSystemLiteral:
      if (entity) entity->SetInternal(false);
      // The resource is read once the declaration is complete.
      if (auto* external = dynamic_cast<TKaExternalNode*>(head)) external->StoreSystemLiteral(Text);
      break;
    case acPublicLiteral:
      if (entity) entity->SetInternal(false);
      if (auto* external = dynamic_cast<TKaExternalNode*>(head)) external->SetPublicLiteral(Text);
      break;
    case acNData:
      if (auto* general = dynamic_cast<TKaGEntityDecl*>(head)) {
        general->SetUnparsed(true);
        general->SetNotation(Text);
      }
      break;
    case acEntityEnd:
      if (entity && !entity->IsInternal()) entity->Retrieve();
      FStack->Pop();
      break;
    case acNotation:
      if (Text.empty())
        FStack->Pop();
      else
        FStack->Push(
            Declared(DocType().SetNotationDecl(TKaNotation::CreateNotation(Text, FDocument))));
      break;
    default:
      break;
  }
}

void TDTDParser::MEmit(int32_t Action, std::u16string_view Text1, std::u16string_view Text2) {
  TKaXMLNode* head = FStack->GetHead();
  switch (Action) {
    case acPseudoAttribute:
      // A text declaration's encoding; inside a document the document's holds.
      if (!FInternalSubset && XMLCompareText(Text1, u"encoding") == 0) {
        // Read on in an encoding it does not know, the text would be garbage.
        const std::string name = WideToSystem(Text2);
        if (!FDocBuffer->IsTranscoded() && StringToEncoding(name) == n_sup)
          RaiseErrorAtPrevious(
              Format("Encoding '%s' is not supported in this version of Orvane.", name));
        FDocBuffer->DeclareEncoding(name);
      }
      break;
    case acPI:
      Declared(DocType().SetPI(TKaXMLPi::CreatePI(Text1, Text2, FDocument)));
      break;
    case acAttDef:
      if (auto* def = dynamic_cast<TKaAttDef*>(head)) {
        def->SetDefaultValue(Text2);
        def->SetDefaultKind(DefaultKindOfKeyword(Text1));
      }
      FStack->Pop();
      break;
    case acEntityDecl: {
      // The first declaration of an entity binds; a later one is read and
      // dropped.
      std::unique_ptr<TKaCustomEntityDecl> decl;
      if (Text2 == u"%")
        decl = TKaPEntityDecl::CreateEntity(Text1, FDocument);
      else
        decl = TKaGEntityDecl::CreateEntity(Text1, FDocument);
      FStack->Push(Declared(DocType().SetEntityDecl(std::move(decl))));
      break;
    }
    default:
      break;
  }
}

}  // namespace lumora
