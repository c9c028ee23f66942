#include "lumora/dom/element.h"

#include <typeinfo>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_decl.h"
#include "lumora/dtd/element_rules.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// The first element at or after node in its list.
TKaXMLElement* ElementFrom(TKaXMLNode* node) {
  for (; node; node = node->Next()) {
    if (node->GetType() != ELEMENT_NODE) continue;
    if (TKaXMLElement* element = TKaXMLElement::AsElement(node)) return element;
  }
  return nullptr;
}

// A child element whose output and copy the walks below may do themselves;
// a class derived from the element keeps its own.
bool IsPlainElement(const TKaXMLNode* node) {
  return node->GetType() == ELEMENT_NODE && typeid(*node) == typeid(TKaXMLElement);
}

}  // namespace

TKaXMLElement* NextElementInSubtree(const TKaXMLElement* root, const TKaXMLElement* from) {
  if (TKaXMLElement* child = ElementFrom(from->GetFirstNode())) return child;
  for (const TKaXMLElement* node = from; node && node != root;
       node = TKaXMLElement::AsElement(node->GetParent())) {
    if (TKaXMLElement* sibling = ElementFrom(node->Next())) return sibling;
  }
  return nullptr;
}

TKaXMLElement* TKaXMLElement::AppendChild(TAdopt<TKaXMLElement> Element) {
  FNodeList.AppendChild(Element.get());
  return Element.Commit();
}

std::unique_ptr<TKaXMLElement> TKaXMLElement::RemoveChild(TKaXMLElement* Element) {
  return std::unique_ptr<TKaXMLElement>(AsElement(FNodeList.RemoveChildNode(Element).release()));
}

TKaXMLNode* TKaXMLElement::SetCharData(TAdopt<TKaXMLNode> Text) {
  TKaXMLNode* text = FNodeList.AppendChild(Text.get());
  try {
    text->Normalize();
  } catch (...) {
    // Text that cannot be read stays the caller's, and the element as it was.
    FNodeList.RemoveChildNode(text).release();
    throw;
  }
  Text.Commit();
  return NoteNormalizedText(text);
}

TKaXMLNode* TKaXMLElement::NoteNormalizedText(TKaXMLNode* text) {
  // Normalization may have split references off behind the text.
  for (const TKaXMLNode* node = text; node; node = node->Next()) NoteContent(*node);
  if (!text->ValueView().empty()) return text;
  RemoveCharData(text);  // the node dies here
  return nullptr;
}

TKaXMLNode* TKaXMLElement::AppendWrittenText(std::u16string_view Text) {
  if (FindUnit(Text, u'&') == std::u16string_view::npos) {
    if (Text.empty()) return nullptr;
    TKaXMLNode* text = FNodeList.AppendNew(TKaXMLText::CreateText(Text, FOwnerDocument));
    NoteContent(*text);
    return text;
  }
  auto* text = static_cast<TKaXMLText*>(
      FNodeList.AppendNew(MakeNode<TKaXMLText>(FOwnerDocument, u"", FOwnerDocument)));
  try {
    text->NormalizeWritten(Text);
  } catch (...) {
    FNodeList.RemoveChildNode(text);  // the node dies here, the element is as it was
    throw;
  }
  return NoteNormalizedText(text);
}

TKaXMLNode* TKaXMLElement::SetCData(TAdopt<TKaXMLNode> CData) {
  TKaXMLNode* section = FNodeList.AppendChild(std::move(CData));
  NoteContent(*section);
  return section;
}

bool TKaXMLElement::IsLayoutBlank(std::u16string_view Text) {
  // One pass: most text is either such a run or fails at its first character.
  bool breaks = false;
  for (const char16_t c : Text) {
    if (c == u'\n' || c == u'\r')
      breaks = true;
    else if (c != u' ' && c != u'\t')
      return false;
  }
  return breaks;
}

void TKaXMLElement::NoteContent(const TKaXMLNode& node) {
  switch (node.GetType()) {
    case TEXT_NODE:
      if (node.ValueView().empty()) break;
      // Blanks between two tags on one line are spacing of the text, as
      // between two words in <p><b>a</b> <i>b</i></p>; a run that breaks
      // the line may be the indentation of element content.
      FFlags |= IsLayoutBlank(node.ValueView()) ? kBlankText | kBlankNodes : kInlineContent;
      break;
    case CDATA_SECTION_NODE:
    case ENTITY_REFERENCE_NODE:
      FFlags |= kInlineContent;
      break;
  }
}

bool TKaXMLElement::DropsLayoutBlanks() const {
  return HoldsOnlyLayoutBlanks() && HasChild() && !PreservesSpace();
}

void TKaXMLElement::EndContent() {
  if (DropsLayoutBlanks()) DropBlankNodes();
}

void TKaXMLElement::DropBlankNodes() {
  if (FFlags & kBlankNodes) {
    for (TKaXMLNode *node = FNodeList.GetFirst(), *next; node; node = next) {
      next = node->Next();
      if (node->GetType() == TEXT_NODE && IsWhiteText(node->ValueView()))
        FNodeList.RemoveChildNode(node);  // the node dies here (all break lines: see NoteContent)
    }
  }
  FFlags &= static_cast<uint8_t>(~(kBlankText | kBlankNodes));
}

int TKaXMLElement::OwnSpaceRule() const {
  // Views compare their sizes first: most names differ in size.
  constexpr std::u16string_view kName = u"xml:space";
  for (TKaXMLNode* node = FNodeList.GetFirst(); node && node->GetType() == ATTRIBUTE_NODE;
       node = node->Next()) {
    if (std::u16string_view(node->GetName()) != kName) continue;
    const std::u16string_view value = node->ValueView();
    if (value == u"preserve") return 1;
    if (value == u"default") return 0;
    return -1;
  }
  return -1;
}

bool TKaXMLElement::PreservesSpace() const {
  for (const TKaXMLElement* e = this; e; e = AsElement(e->GetParent())) {
    if (const int rule = e->OwnSpaceRule(); rule >= 0) return rule == 1;
  }
  return false;
}

std::unique_ptr<TKaNodeList> TKaXMLElement::GetElementsByTagName(std::u16string_view Name) const {
  auto list = TKaNodeList::CreateWithParent(FOwnerDocument, const_cast<TKaXMLElement*>(this));
  GetByTagName(Name, *list);
  return list;
}

void TKaXMLElement::GetByTagName(std::u16string_view Name, TKaNodeList& List) const {
  for (const TKaXMLElement* e = this; e; e = NextElementInSubtree(this, e)) {
    if (e->FName == Name) List.AppendChild(e->CloneNode());
  }
}

std::unique_ptr<TKaNodeList> TKaXMLElement::GetAttributesByType(uint8_t AttrType) const {
  auto list = TKaNodeList::CreateWithParent(FOwnerDocument, const_cast<TKaXMLElement*>(this));
  GetByType(AttrType, *list);
  return list;
}

void TKaXMLElement::GetByType(uint8_t AttrType, TKaNodeList& List) const {
  for (const TKaXMLElement* e = this; e; e = NextElementInSubtree(this, e)) {
    for (TKaXMLNode* a = e->FNodeList.GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling()) {
      if (static_cast<TKaXMLAttr*>(a)->GetAttrType() == AttrType) List.AppendChild(a->CloneNode());
    }
  }
}

void TKaXMLElement::SetDocument(TKaXMLDocument* Doc) {
  for (TKaXMLElement* e = this; e; e = NextElementInSubtree(this, e)) {
    e->FOwnerDocument = Doc;
    e->FNodeList.SetOwnerDocument(Doc);
    for (TKaXMLNode* node = e->FNodeList.GetFirst(); node; node = node->Next()) {
      node->SetOwnerDocument(Doc);
    }
  }
}

void TKaXMLElement::InsertElementContent(TKaXMLElement& Source) {
  // Only the nodes Source holds now: when Source is this element, the copies
  // appended below must not be copied again.
  const TKaXMLNode* last = Source.FNodeList.GetLast();
  for (TKaXMLNode *node = Source.FNodeList.GetFirst(), *next; node; node = next) {
    next = node == last ? nullptr : node->Next();
    if (node->GetType() == ATTRIBUTE_NODE) continue;
    if (TKaXMLElement* element = AsElement(node))
      element->SetDocument(FOwnerDocument);
    else
      node->SetOwnerDocument(FOwnerDocument);
    FNodeList.AppendChild(node->CloneNode());
  }
}

std::unique_ptr<TKaXMLNode> TKaXMLElement::CloneNode() const {
  auto copy = MakeBeside<TKaXMLElement>(FName.Str(), FOwnerDocument);
  copy->FValue = FValue;
  // Pairs of an element being copied and its copy, innermost last.
  std::vector<std::pair<const TKaXMLElement*, TKaXMLElement*>> open{{this, copy.get()}};
  TKaXMLNode* next = FNodeList.GetFirst();
  while (!open.empty()) {
    if (!next) {
      next = open.back().first->Next();
      open.pop_back();
      continue;
    }
    TKaXMLNode* node = next;
    next = node->Next();
    TKaXMLElement* target = open.back().second;
    if (IsPlainElement(node)) {
      auto* source = static_cast<const TKaXMLElement*>(node);
      auto* child = static_cast<TKaXMLElement*>(target->FNodeList.AppendChild(
          MakeBeside<TKaXMLElement>(source->FName.Str(), FOwnerDocument)));
      child->FValue = source->FValue;
      open.emplace_back(source, child);
      next = source->FNodeList.GetFirst();
    } else {
      target->FNodeList.AppendChild(node->CloneNode());
    }
  }
  return copy;
}

void TKaXMLElement::Validate() {
  TKaXMLDocument* doc = FOwnerDocument;
  TKaDocumentType* doctype = doc ? doc->GetDocumentType() : nullptr;
  if (!doctype) return;
  TElementRules rules(*doctype);
  for (TKaXMLElement* e = this; e; e = NextElementInSubtree(this, e)) {
    // Once the error list is full nothing more would be recorded.
    if (doc->ErrorsFull()) return;
    TElementRule& rule = rules.For(e->GetName());
    if (rule.Decl)
      rule.Decl->ValidateElementDecl(*e);
    else
      doc->AddError(
          Format("[Element \"%s\"]: Element is not declared.", WideToSystem(e->GetName())), e);
    ValidateAttributes(*e, rules, rule);
  }
}

TKaXMLElement::TLayout TKaXMLElement::ContentLayout() const {
  // Layout white space is read back as such only among child elements (see
  // EndContent): comments and instructions alone are written inline too.
  bool content = false, children = false;
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) {
    switch (node->GetType()) {
      case TEXT_NODE:
      case CDATA_SECTION_NODE:
      case ENTITY_REFERENCE_NODE:
        return TLayout::kInline;
      case ELEMENT_NODE:
        children = true;
        [[fallthrough]];
      case COMMENT_NODE:
      case PROCESSING_INSTRUCTION_NODE:
        content = true;
        break;
    }
  }
  if (!content) return TLayout::kEmpty;
  return children && OwnSpaceRule() != 1 ? TLayout::kIndented : TLayout::kInline;
}

void TKaXMLElement::WriteStartTag(TStream& Stream, int Level) const {
  BreakLine(Stream, Level);
  WriteWide(Stream, u"<");
  WriteWide(Stream, FName);
  for (TKaXMLNode* a = FNodeList.GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling())
    a->Write(Stream, Level);
}

void TKaXMLElement::WriteEndTag(TStream& Stream, int Level) const {
  BreakLine(Stream, Level);
  WriteWide(Stream, u"</");
  WriteWide(Stream, FName);
  WriteWide(Stream, u">");
  SetAfterText(false);
}

void TKaXMLElement::Write(TStream& Stream, int Level) {
  // Elements open for their content, with the level their tags stand at and
  // whether their content is written inline. Inline content stays inline all
  // the way down: formatting must not add white space where it is content.
  struct TOpen {
    const TKaXMLElement* Element;
    int Level;
    bool Inline;
  };
  std::vector<TOpen> open;
  auto start = [&](const TKaXMLElement* e, int level, bool inlineAbove) -> TKaXMLNode* {
    if (inlineAbove) e->SetAfterText(true);
    e->WriteStartTag(Stream, level);
    const TLayout layout = e->ContentLayout();
    if (layout == TLayout::kEmpty) {
      WriteWide(Stream, u"/>");
      e->SetAfterText(false);
      return nullptr;
    }
    WriteWide(Stream, u">");
    open.push_back({e, level, inlineAbove || layout == TLayout::kInline});
    return e->FNodeList.GetFirst();
  };
  TKaXMLNode* next = start(this, Level, false);
  while (!open.empty()) {
    const TOpen frame = open.back();
    if (!next) {
      // A tag in inline content follows what stands before it directly.
      if (frame.Inline) frame.Element->SetAfterText(true);
      frame.Element->WriteEndTag(Stream, frame.Level);
      next = frame.Element->Next();
      open.pop_back();
      continue;
    }
    TKaXMLNode* node = next;
    next = node->Next();
    if (node->GetType() == ATTRIBUTE_NODE) continue;
    const int childLevel = frame.Element->ContentLevel(frame.Level);
    if (IsPlainElement(node)) {
      TKaXMLNode* first = start(static_cast<const TKaXMLElement*>(node), childLevel, frame.Inline);
      if (first) next = first;
    } else {
      if (frame.Inline) SetAfterText(true);
      node->Write(Stream, childLevel);
    }
  }
}

}  // namespace lumora
