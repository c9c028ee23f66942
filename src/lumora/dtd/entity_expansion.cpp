#include "lumora/dtd/entity_expansion.h"

#include "lumora/dom/character_data.h"
#include "lumora/dom/container.h"
#include "lumora/dom/document.h"
#include "lumora/dom/element.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/dtd/references.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/orvane.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

const TKaCustomEntityDecl* ExpandableEntity(const TKaXMLDocument* Doc, std::u16string_view Name,
                                            const char* UnparsedMessage) {
  const TKaDocumentType* doctype = Doc ? Doc->GetDocumentType() : nullptr;
  // Entity names are looked up exactly: Agrave and agrave are two entities.
  const TKaCustomEntityDecl* decl = doctype && !Name.empty() ? doctype->GetEntityDecl(Name) : nullptr;
  if (!decl) return nullptr;
  if (const auto* general = dynamic_cast<const TKaGEntityDecl*>(decl);
      general && general->IsUnparsed())
    throw EKaOrvaneError(UnparsedMessage);
  return decl->IsInternal() || decl->IsRetrieved() ? decl : nullptr;
}

TEntityExpansion::TEntityExpansion(TKaXMLDocument* Doc, std::u16string_view Name, size_t Length)
    : FDoc(Doc) {
  TKaOrvane* current = Doc->GetParser();
  if (!current || (!current->IsParsing() && current->GetExpansionGuard()->GetDepth() == 0)) {
    FStandIn = std::make_unique<TKaOrvane>(nullptr);
    if (current) {
      FStandIn->SetStandardXML(current->GetStandardXML());
      FStandIn->SetMaxNestingDepth(current->GetMaxNestingDepth());
    }
    FRestored = current;
    Doc->AssignParser(FStandIn.get());
  }
  TExpansionGuard& guard = *Doc->GetParser()->GetExpansionGuard();
  FDepth = guard.GetDepth();
  try {
    guard.Enter(Name);
    guard.Produce(static_cast<int64_t>(Length));
  } catch (...) {
    guard.LeaveTo(FDepth);
    if (FStandIn) Doc->AssignParser(FRestored);
    throw;
  }
}

TEntityExpansion::~TEntityExpansion() {
  FDoc->GetParser()->GetExpansionGuard()->LeaveTo(FDepth);
  if (FStandIn) FDoc->AssignParser(FRestored);
}

namespace {

// The first '&' of Written from From on, found in bulk.
size_t NextAmpersand(std::u16string_view Written, size_t From) {
  const size_t at = FindUnit(Written.substr(From), u'&');
  return at == std::u16string_view::npos ? at : From + at;
}

}  // namespace

void TContentExpansion::Append(std::u16string_view Written) {
  static const TReferenceRules kRules{
      "Illegal character in the text value '&&'.",
      "Reference to an unparsed entity is not allowed in the character data.", nullptr, false,
      nullptr};
  if (FLeading.empty() && FNodes.empty()) FLeading.reserve(Written.size());
  size_t start = 0;
  for (size_t amp = FindUnit(Written, u'&'); amp != std::u16string_view::npos;
       amp = NextAmpersand(Written, start)) {
    Current().append(Written.substr(start, amp - start));
    const size_t end = Written.find(u';', amp + 1);
    if (end == std::u16string_view::npos)
      throw EKaOrvaneError::CreateXMLError(kRules.UnterminatedMessage,
                                           FDoc ? FDoc->GetLineNumber() : 0);
    const std::u16string_view name = Written.substr(amp + 1, end - amp - 1);
    start = end + 1;
    const TKaCustomEntityDecl* decl = nullptr;
    if (!name.empty() && name[0] != u'#' && !PredefinedEntityText(name))
      decl = ExpandableEntity(FDoc, name, kRules.UnparsedMessage);
    if (!decl) {
      // Characters and the predefined entities; what does not resolve is
      // kept as the reference it was written as.
      std::u16string& text = Current();
      const size_t before = text.size();
      if (!AppendResolvedReference(name, FDoc, kRules, text) && FMakeNodes) {
        text.resize(before);
        AddNode(TKaGEntityReference::CreateReference(name, FDoc));
      }
      continue;
    }
    const std::u16string& value = decl->GetValue();
    const uint8_t kind = Parsed().KindOf(name, value);
    const bool markup = kind & TParsedEntities::kMarkup;
    if (markup && !FMakeNodes) {
      Current().append(Written.substr(amp, end + 1 - amp));
      continue;
    }
    const TEntityExpansion expansion(FDoc, name, value.size());
    if (markup)
      AppendMarkup(name, value);
    else
      AppendText(name, value, kind);
  }
  Current().append(Written.substr(start));
}

void TContentExpansion::AddNode(std::unique_ptr<TKaXMLNode> Node) {
  if (!FNodes.empty() && !FTail.empty()) {
    FNodes.push_back(TKaXMLText::CreateText(FTail, FDoc));
    FTail.clear();
  }
  FNodes.push_back(std::move(Node));
}

TParsedEntities::TParsedEntities() = default;
TParsedEntities::~TParsedEntities() = default;

uint8_t TParsedEntities::KindOf(std::u16string_view Name, std::u16string_view Text) {
  const auto [it, added] = FKinds.try_emplace(std::u16string(Name), 0);
  if (!added) return it->second;
  uint8_t kind = 0;
  for (const char16_t c : Text) {
    if (c > u'<') continue;
    if (c == u'<') kind |= kMarkup;
    else if (c == u'&') kind |= kReference;
    else if (c == u'\t' || c == u'\n' || c == u'\r') kind |= kControl;
  }
  return it->second = kind;
}

const TParsedEntities::TText* TParsedEntities::FindText(TForm Form,
                                                        std::u16string_view Name) const {
  const auto& texts = FTexts[static_cast<int>(Form)];
  const auto it = texts.find(std::u16string(Name));
  return it == texts.end() ? nullptr : &it->second;
}

void TParsedEntities::KeepText(TForm Form, std::u16string_view Name, TText Text) {
  FTexts[static_cast<int>(Form)].insert_or_assign(std::u16string(Name), std::move(Text));
}

TLentParsedEntities::TLentParsedEntities(TKaOrvane& Parser, TParsedEntities* Parsed)
    : FParser(Parser) {
  if (!Parser.GetParsedEntities() && Parsed) {
    Parser.SetParsedEntities(Parsed);
    FLent = true;
  }
}

TLentParsedEntities::~TLentParsedEntities() {
  if (FLent) FParser.SetParsedEntities(nullptr);
}

TParsedEntities::TEntry* TParsedEntities::Find(std::u16string_view Name) {
  const auto it = FEntries.find(std::u16string(Name));
  return it == FEntries.end() ? nullptr : &it->second;
}

void TParsedEntities::Keep(std::u16string_view Name, TEntry Entry) {
  FEntries.insert_or_assign(std::u16string(Name), std::move(Entry));
}

TContentExpansion::TContentExpansion(TKaXMLDocument* Doc, bool MakeNodes)
    : FDoc(Doc), FMakeNodes(MakeNodes) {}

TContentExpansion::~TContentExpansion() = default;

namespace {

// The nodes below Holder, attributes included.
int64_t CountNodes(TKaXMLElement& Holder) {
  int64_t count = 0;
  std::vector<TKaXMLNode*> next{Holder.GetFirstNode()};
  while (!next.empty()) {
    TKaXMLNode* node = next.back();
    next.pop_back();
    for (; node; node = node->Next()) {
      ++count;
      if (const TKaContainer* container = node->ToContainer())
        if (container->GetFirstNode()) next.push_back(container->GetFirstNode());
    }
  }
  return count;
}

}  // namespace

TParsedEntities& TContentExpansion::Parsed(TKaOrvane& Parser) {
  if (TParsedEntities* parsed = Parser.GetParsedEntities()) return *parsed;
  if (!FParsed) FParsed = std::make_unique<TParsedEntities>();
  return *FParsed;
}

TParsedEntities& TContentExpansion::Parsed() {
  TKaOrvane* parser = FDoc->GetParser();
  if (TParsedEntities* parsed = parser ? parser->GetParsedEntities() : nullptr) return *parsed;
  if (!FParsed) FParsed = std::make_unique<TParsedEntities>();
  return *FParsed;
}

void TContentExpansion::AppendText(std::u16string_view Name, std::u16string_view Text,
                                   uint8_t Kind) {
  // Text without references is copied as it is.
  if (!(Kind & TParsedEntities::kReference)) {
    Current() += Text;
    return;
  }
  // An expansion is open: the document has a parser, if only a stand-in.
  TKaOrvane& parser = *FDoc->GetParser();
  TParsedEntities& parsed = Parsed(parser);
  TExpansionGuard& guard = *parser.GetExpansionGuard();
  constexpr auto kForm = TParsedEntities::TForm::Content;
  if (const TParsedEntities::TText* known = parsed.FindText(kForm, Name)) {
    guard.Produce(known->Produced);
    Current() += known->Text;
    return;
  }
  const size_t nodes = FNodes.size();
  const size_t start = Current().size();
  const int64_t before = guard.GetProduced();
  Append(Text);  // its references are expanded in turn, under the guard
  // Only text that made no nodes is kept: it is one run of characters.
  if (FNodes.size() == nodes)
    parsed.KeepText(kForm, Name, {Current().substr(start), guard.GetProduced() - before});
}

void TContentExpansion::AppendMarkup(std::u16string_view Name, std::u16string_view Text) {
  // An expansion is open: the document has a parser, if only a stand-in.
  TKaOrvane& parser = *FDoc->GetParser();
  TParsedEntities& parsedHere = Parsed(parser);
  const TLentParsedEntities lent(parser, &parsedHere);
  TParsedEntities& parsed = *parser.GetParsedEntities();
  TExpansionGuard& guard = *parser.GetExpansionGuard();
  const int depth = parser.GetNestingDepth();

  // Copies of nodes parsed where no more elements were open: they nest no
  // deeper here, and count what their expansions produced once more.
  TParsedEntities::TEntry* entry = parsed.Find(Name);
  if (!entry || entry->Depth < depth) {
    // The parsed nodes belong to this document from the start.
    TParsedEntities::TEntry made;
    made.Holder = TKaXMLElement::CreateElement(u"_root", FDoc);
    made.Depth = depth;
    const int64_t before = guard.GetProduced();
    {
      TKaOrvane nested(nullptr);
      try {
        nested.ParseReplacementText(Text, *made.Holder);
      } catch (const EKaOrvaneError& e) {
        // The position is the reference's, which the caller knows; the line
        // within the text goes along.
        throw EKaOrvaneError::CreateWithExtFileName(
            e.Message(), std::string(), 0, e.GetLine() > 0 ? e.GetLine() : e.GetExtLine());
      }
    }
    made.Produced = guard.GetProduced() - before;
    made.Nodes = CountNodes(*made.Holder);
    parsed.Keep(Name, std::move(made));
    entry = parsed.Find(Name);
  } else {
    guard.Produce(entry->Produced);
  }
  guard.Produce(entry->Nodes * TParsedEntities::kNodeCost);
  // Text joins the text around the reference; the other nodes are copied.
  for (const TKaXMLNode* node = entry->Holder->GetFirstNode(); node; node = node->Next()) {
    if (node->GetType() == TEXT_NODE)
      Current() += node->ValueView();
    else
      AddNode(node->CloneNode());
  }
}

std::vector<std::unique_ptr<TKaXMLNode>> TContentExpansion::TakeNodes() {
  if (!FNodes.empty() && !FTail.empty()) FNodes.push_back(TKaXMLText::CreateText(FTail, FDoc));
  FTail.clear();
  return std::move(FNodes);
}

}  // namespace lumora
