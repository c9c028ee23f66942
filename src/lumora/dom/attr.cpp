#include "lumora/dom/attr.h"

#include <utility>

#include "lumora/dom/document.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/attribute_types.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/references.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

// Whether a value holds what normalization changes: a tab or line break, a
// reference, or a '<' (an error). All of them lie below '=', which most
// characters of a value do not.
bool HoldsMarkupOrBreaks(std::u16string_view value) {
  for (const char16_t c : value) {
    if (c < u'=' && (c == u'\t' || c == u'\r' || c == u'\n' || c == u'&' || c == u'<'))
      return true;
  }
  return false;
}

}  // namespace

TKaXMLAttr::TKaXMLAttr(std::u16string_view Name, TKaXMLDocument* Doc, TUnnormalized)
    : TKaXMLNode(Name, ATTRIBUTE_NODE, Doc, TNameRule::kChecked) {}

TKaXMLAttr::TKaXMLAttr(std::u16string_view Name, std::u16string_view Value, TKaXMLDocument* Doc,
                       bool Standard)
    : TKaXMLAttr(Name, Doc, TUnnormalized{}) {
  SetValueText(Value);
  SetFlag(kStandard, Standard);
  Normalize();
}

std::unique_ptr<TKaXMLAttr> TKaXMLAttr::CreateStdAttr(std::u16string_view Name,
                                                      std::u16string_view Value,
                                                      TKaXMLDocument* Doc, bool Standard) {
  return MakeNode<TKaXMLAttr>(Doc, Name, CharsToReference(Value), Doc, Standard);
}

uint8_t TKaXMLAttr::GetAttrType() const {
  // A free attribute, and one of the XML declaration, have no element.
  if (!FParent || !FOwnerDocument || FParent->GetType() != ELEMENT_NODE) return atCDATA;
  const TKaDocumentType* doctype = FOwnerDocument->GetDocumentType();
  const TKaAttDef* def = doctype ? doctype->GetAttDef(FParent->GetName(), FName) : nullptr;
  // A definition left without type by a syntax error declares nothing.
  return def && def->GetAttrType() != 0 ? def->GetAttrType() : atCDATA;
}

void TKaXMLAttr::NormalizeTokens() {
  const std::u16string_view value = FValue;
  if (value.find(u' ') == std::u16string_view::npos) return;
  std::u16string out;
  out.reserve(value.size());
  size_t kept = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    // A kept reference starts with '&', never a space: it moves with the text.
    if (FKept && kept < FKept->size() && (*FKept)[kept] == i)
      (*FKept)[kept++] = static_cast<uint32_t>(out.size());
    // Of a run of spaces only the last stays, and only between two tokens.
    if (value[i] == u' ' && (out.empty() || i + 1 == value.size() || value[i + 1] == u' '))
      continue;
    out += value[i];
  }
  SetValueText(std::move(out));
}

void TKaXMLAttr::Normalize() {
  static const TReferenceRules kRules{
      "Illegal character in the attribute value '&'.",
      "Reference to an unparsed entity is not allowed in the attribute value.",
      "Reference to an external entity is not allowed in the attribute value.", false,
      "Illegal character in the attribute value '<'."};
  const bool cdata = GetAttrType() == atCDATA;
  // Most values hold nothing to change: leave them as they are.
  if (cdata && !HoldsMarkupOrBreaks(FValue.View())) {
    FKept.reset();
    return;
  }
  std::vector<uint32_t> kept;
  // The value changes only once all of it is read.
  const std::u16string trimmed = cdata ? std::u16string() : XMLTrim(FValue.View());
  const std::u16string_view text = cdata ? FValue.View() : std::u16string_view(trimmed);
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'\t':
      case u'\r':
      case u' ':
        if (cdata || i == 0 || !IsWhite(text[i - 1])) out += u' ';
        break;
      case u'\n':
        if (i == 0 || text[i - 1] != u'\r') out += u' ';
        break;
      case u'<':
        throw EKaOrvaneError("Illegal character in the attribute value '<'.");
      case u'&': {
        const size_t at = out.size();
        bool asWritten = false;
        i = AppendReferenceAt(text, i, FOwnerDocument, kRules, out, &asWritten);
        if (asWritten) kept.push_back(static_cast<uint32_t>(at));
        break;
      }
      default:
        out += c;
    }
  }
  SetValueText(std::move(out));
  FKept.reset();
  if (!kept.empty()) FKept = std::make_unique<std::vector<uint32_t>>(std::move(kept));
}

void TKaXMLAttr::SetWrittenValue(std::u16string_view Value) {
  std::u16string old(FValue.View());
  SetValueText(Value);
  try {
    Normalize();
  } catch (...) {
    SetValueText(std::move(old));
    throw;
  }
}

void TKaXMLAttr::SetValue(std::u16string_view Value) {
  SetValueText(Value);
  FKept.reset();
}

void TKaXMLAttr::Write(TStream& Stream, int /*Level*/) {
  if (IsDefaulted() && !(FOwnerDocument && FOwnerDocument->GetWriteDefaultAttributes())) return;
  constexpr unsigned kEscapes = kEscapeQuotes | kEscapeWhite;
  const TEncoding encoding = OutputEncoding();
  WriteWide(Stream, u" ");
  WriteWide(Stream, FName);
  WriteWide(Stream, u" = \"");
  const std::u16string_view value = FValue;
  size_t start = 0;
  if (FKept) {
    for (const uint32_t amp : *FKept) {
      const size_t end = value.find(u';', amp);
      if (amp < start || end == std::u16string_view::npos) continue;  // cannot be: see Normalize
      WriteEscaped(Stream, value.substr(start, amp - start), kEscapes, encoding);
      WriteWide(Stream, value.substr(amp, end + 1 - amp));
      start = end + 1;
    }
  }
  WriteEscaped(Stream, value.substr(start), kEscapes, encoding);
  WriteWide(Stream, u"\"");
  SetAfterText(false);
}

std::unique_ptr<TKaXMLNode> TKaXMLAttr::CloneNode() const {
  std::unique_ptr<TKaXMLAttr> copy(
      new (BlockArena()) TKaXMLAttr(FName.Str(), FOwnerDocument, TUnnormalized{}));
  copy->FValue = FValue;
  copy->SetDefaulted(IsDefaulted());
  if (FKept) copy->FKept = std::make_unique<std::vector<uint32_t>>(*FKept);
  return copy;
}

}  // namespace lumora
