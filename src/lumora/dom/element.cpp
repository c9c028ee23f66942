#include "lumora/dom/element.h"

#include <typeinfo>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/wide_output.h"

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
  for (char16_t c : text->GetValue()) {
    if (c > u' ') return text;
  }
  RemoveCharData(text);  // white space alone is not kept; the node dies here
  return nullptr;
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
  auto copy = std::make_unique<TKaXMLElement>(FName, FOwnerDocument);
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
          std::make_unique<TKaXMLElement>(source->FName, FOwnerDocument)));
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
  for (TKaXMLElement* e = this; e; e = NextElementInSubtree(this, e)) {
    // The declarations' own checks of content and attributes join here
    // once the DTD's declarations are read.
    if (!doctype->GetElementDecl(e->FName))
      doc->AddError(Format("[Element \"%s\"]: Element is not declared.", WideToSystem(e->FName)),
                    e);
  }
}

bool TKaXMLElement::HasWrittenContent() const {
  for (TKaXMLNode* node = FNodeList.GetFirst(); node; node = node->Next()) {
    switch (node->GetType()) {
      case ELEMENT_NODE:
      case TEXT_NODE:
      case CDATA_SECTION_NODE:
      case COMMENT_NODE:
      case PROCESSING_INSTRUCTION_NODE:
        return true;
    }
  }
  return false;
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
  // Elements open for their content, with the level their tags stand at.
  std::vector<std::pair<const TKaXMLElement*, int>> open;
  auto start = [&](const TKaXMLElement* e, int level) -> TKaXMLNode* {
    e->WriteStartTag(Stream, level);
    if (!e->HasWrittenContent()) {
      WriteWide(Stream, u"/>");
      e->SetAfterText(false);
      return nullptr;
    }
    WriteWide(Stream, u">");
    open.emplace_back(e, level);
    return e->FNodeList.GetFirst();
  };
  TKaXMLNode* next = start(this, Level);
  while (!open.empty()) {
    const auto [element, level] = open.back();
    if (!next) {
      element->WriteEndTag(Stream, level);
      next = element->Next();
      open.pop_back();
      continue;
    }
    TKaXMLNode* node = next;
    next = node->Next();
    if (node->GetType() == ATTRIBUTE_NODE) continue;
    const int childLevel = element->ContentLevel(level);
    if (IsPlainElement(node)) {
      TKaXMLNode* first = start(static_cast<const TKaXMLElement*>(node), childLevel);
      if (first) next = first;
    } else {
      node->Write(Stream, childLevel);
    }
  }
}

}  // namespace lumora
