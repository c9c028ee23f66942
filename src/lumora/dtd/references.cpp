#include "lumora/dtd/references.h"

#include <limits>

#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/entity_decl.h"
#include "lumora/dtd/entity_expansion.h"
#include "lumora/dtd/expansion_guard.h"
#include "lumora/parser/orvane.h"
#include "lumora/framework/utf8.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
const char16_t* PredefinedEntityText(std::u16string_view name) {
  // By length first: the test runs for every reference and every name an
  // entity lookup is asked about.
  const auto is = [name](const char16_t(&text)[5]) {
    return name[0] == text[0] && name[1] == text[1] && name[2] == text[2] && name[3] == text[3];
  };
  switch (name.size()) {
    case 2:
      if (name[1] != u't') return nullptr;
      return name[0] == u'l' ? u"<" : name[0] == u'g' ? u">" : nullptr;
    case 3:
      return name[0] == u'a' && name[1] == u'm' && name[2] == u'p' ? u"&" : nullptr;
    case 4:
      return is(u"apos") ? u"'" : is(u"quot") ? u"\"" : nullptr;
    default:
      return nullptr;
  }
}

int DigitValue(char16_t c, int base) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (base == 16 && c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (base == 16 && c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool IsXmlCharacter(int32_t cp) {
  return cp >= 0 && (cp < 0x10000 ? IsChar(static_cast<char16_t>(cp)) : cp <= 0x10FFFF);
}

namespace {

// The code point of the ASCII digits of a character reference; -1 when they
// are malformed or name no code point.
int32_t CodePointOf(std::u16string_view digits, int base) {
  if (digits.empty()) return -1;
  int32_t value = 0;
  for (char16_t c : digits) {
    const int digit = DigitValue(c, base);
    if (digit < 0) return -1;
    value = value * base + digit;
    if (value > 0x10FFFF) return -1;
  }
  return value;
}

// The code point that the part of a character reference after its '#'
// gives; -1 when it gives none that is an XML character.
int32_t CharacterOf(std::u16string_view digits) {
  int base = 10;
  if (!digits.empty() && (digits[0] == u'x' || digits[0] == u'X')) {
    digits.remove_prefix(1);
    base = 16;
  }
  const int32_t cp = CodePointOf(digits, base);
  return cp >= 0 && IsXmlCharacter(cp) ? cp : -1;
}

}  // namespace

namespace {

// Appends the text of the entity Name as an attribute value holds it.
void AppendNormalizedText(std::u16string_view Name, std::u16string_view Text, TKaXMLDocument* Doc,
                          const TReferenceRules& Rules, std::u16string& out) {
  const TEntityExpansion expansion(Doc, Name, Text.size());
  TKaOrvane& parser = *Doc->GetParser();
  std::unique_ptr<TParsedEntities> own;
  if (!parser.GetParsedEntities()) own = std::make_unique<TParsedEntities>();
  const TLentParsedEntities lent(parser, own.get());
  const uint8_t kind = parser.GetParsedEntities()->KindOf(Name, Text);
  // Plain text is copied as it is.
  if (kind == 0 || (kind == TParsedEntities::kMarkup && !Rules.MarkupMessage)) {
    out += Text;
    return;
  }
  // What text with references expands to is kept for further references
  // (in attribute values: other rules may raise where these do not).
  const bool keep = Rules.MarkupMessage && (kind & TParsedEntities::kReference);
  TParsedEntities* parsed = keep ? parser.GetParsedEntities() : nullptr;
  constexpr auto kForm = TParsedEntities::TForm::AttributeValue;
  TExpansionGuard& guard = *parser.GetExpansionGuard();
  if (const TParsedEntities::TText* known = parsed ? parsed->FindText(kForm, Name) : nullptr) {
    guard.Produce(known->Produced);
    out += known->Text;
    return;
  }
  const size_t start = out.size();
  const int64_t before = guard.GetProduced();
  for (size_t i = 0; i < Text.size();) {
    const size_t stop = Text.find_first_of(u"\t\n\r&<", i);
    out.append(Text.substr(i, stop == std::u16string_view::npos ? stop : stop - i));
    if (stop == std::u16string_view::npos) break;
    const char16_t c = Text[stop];
    i = stop + 1;
    if (c == u'&') {
      i = AppendReferenceAt(Text, stop, Doc, Rules, out) + 1;
    } else if (c == u'<') {
      if (Rules.MarkupMessage) throw EKaOrvaneError(Rules.MarkupMessage);
      out += c;
    } else {
      out += u' ';
    }
  }
  if (parsed) parsed->KeepText(kForm, Name, {out.substr(start), guard.GetProduced() - before});
}

}  // namespace

bool AppendResolvedReference(std::u16string_view Name, TKaXMLDocument* Doc,
                             const TReferenceRules& Rules, std::u16string& out) {
  if (!Name.empty() && Name[0] == u'#') {
    if (const int32_t cp = CharacterOf(Name.substr(1)); cp >= 0) {
      AppendUtf16(out, static_cast<uint32_t>(cp));
      return true;
    }
  } else if (const char16_t* text = PredefinedEntityText(Name)) {
    out += text;
    return true;
  } else {
    const TKaDocumentType* doctype = Doc ? Doc->GetDocumentType() : nullptr;
    const TKaCustomEntityDecl* declared = doctype && !Name.empty() ? doctype->GetEntityDecl(Name) : nullptr;
    if (Rules.ExternalMessage && declared && !declared->IsParameter() && !declared->IsInternal() &&
        !static_cast<const TKaGEntityDecl*>(declared)->IsUnparsed())
      throw EKaOrvaneError(Rules.ExternalMessage);
    const TKaCustomEntityDecl* decl = ExpandableEntity(Doc, Name, Rules.UnparsedMessage);
    if (decl && !(Rules.KeepEmpty && decl->GetValue().empty())) {
      AppendNormalizedText(Name, decl->GetValue(), Doc, Rules, out);
      return true;
    }
  }
  out += u'&';
  out += Name;
  out += u';';
  return false;
}

size_t AppendReferenceAt(std::u16string_view Value, size_t Amp, TKaXMLDocument* Doc,
                         const TReferenceRules& Rules, std::u16string& out, bool* Kept) {
  const size_t end = Value.find(u';', Amp + 1);
  if (end == std::u16string_view::npos)
    throw EKaOrvaneError::CreateXMLError(Rules.UnterminatedMessage, Doc ? Doc->GetLineNumber() : 0);
  const bool resolved = AppendResolvedReference(Value.substr(Amp + 1, end - Amp - 1), Doc, Rules, out);
  if (Kept) *Kept = !resolved;
  return end;
}

namespace {

uint8_t DestinationOf(std::u16string_view name, const TKaXMLDocument* doc) {
  if (!name.empty() && name[0] == u'#') return rdCharacter;
  const TKaDocumentType* doctype = doc ? doc->GetDocumentType() : nullptr;
  const TKaCustomEntityDecl* decl = doctype ? doctype->GetEntityDecl(name) : nullptr;
  if (!decl) return rdUndeclared;
  if (decl->IsParameter()) return rdParameter;
  if (static_cast<const TKaGEntityDecl*>(decl)->IsUnparsed()) return rdUnparsed;
  return decl->IsInternal() ? rdInternal : rdExternal;
}

}  // namespace

TKaCustomReference::TKaCustomReference(std::u16string_view Name, TKaXMLDocument* Doc)
    : TKaXMLNode(Name, ENTITY_REFERENCE_NODE, Doc), FDestType(DestinationOf(Name, Doc)) {}

std::unique_ptr<TKaCustomReference> CreateTextReference(std::u16string_view Name,
                                                        TKaXMLDocument* Doc) {
  if (!Name.empty() && Name[0] == u'#') return TKaCharReference::CreateReference(Name, Doc);
  return TKaGEntityReference::CreateReference(Name, Doc);
}

bool TKaGEntityReference::Retrieve() {
  if (const char16_t* text = PredefinedEntityText(FName)) {
    FValue = std::u16string_view(text);
    return true;
  }
  if (GetDestType() == rdUnparsed) return false;
  const TKaCustomEntityDecl* decl = ExpandableEntity(FOwnerDocument, FName, "");
  if (!decl) return false;
  FValue = decl->ValueView();
  return true;
}

void TKaGEntityReference::Write(TStream& Stream, int /*Level*/) {
  WriteWide(Stream, u"&");
  WriteWide(Stream, FName);
  WriteWide(Stream, u";");
  SetAfterText(true);
}

std::unique_ptr<TKaXMLNode> TKaGEntityReference::CloneNode() const {
  auto copy = CreateReference(FName, FOwnerDocument);
  copy->FValue = FValue;
  return copy;
}

bool TKaCharReference::Retrieve() {
  // The name keeps the digits only, whatever they turn out to be.
  std::u16string_view digits = FName;
  if (!digits.empty() && digits[0] == u'#') digits.remove_prefix(1);
  const bool hex = !digits.empty() && (digits[0] == u'x' || digits[0] == u'X');
  const int32_t cp = CharacterOf(digits);
  FName = std::u16string(hex ? digits.substr(1) : digits);
  FCode = cp < 0 ? 0 : cp;
  if (cp < 0) return false;
  std::u16string text;
  AppendUtf16(text, static_cast<uint32_t>(cp));
  FValue = std::move(text);
  return true;
}

bool TKaPEntityReference::Retrieve() {
  // The stored value is the replacement text: its references were expanded
  // when it was declared, and what reads it next must see it as written.
  const TKaDocumentType* doctype = FOwnerDocument ? FOwnerDocument->GetDocumentType() : nullptr;
  const TKaCustomEntityDecl* decl = doctype ? doctype->GetEntityDecl(FName) : nullptr;
  if (!decl) return false;
  // The expansion counts against the parse's budget; an entity whose value
  // is being set refers to itself.
  const TKaOrvane* parser = FOwnerDocument->GetParser();
  if (TExpansionGuard* guard = parser ? parser->GetExpansionGuard() : nullptr) {
    guard->Enter(FName);
    guard->Leave();
    guard->Produce(static_cast<int64_t>(decl->ValueView().size()));
  }
  FValue = decl->ValueView();
  return true;
}

void TKaPEntityReference::Normalize() {
  const std::u16string value(FValue.View());
  std::u16string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u'\t' || c == u'\r' || c == u' ') {
      out.push_back(u' ');
    } else if (c == u'\n') {
      if (i == 0 || value[i - 1] != u'\r') out.push_back(u' ');
    } else if (c == u'&' || c == u'%') {
      const size_t semicolon = value.find(u';', i + 1);
      if (semicolon == std::u16string::npos) {
        // No name ends here: the rest stays as it is.
        out.append(value, i, std::u16string::npos);
        break;
      }
      const std::u16string_view name(value.data() + i + 1, semicolon - i - 1);
      std::unique_ptr<TKaCustomReference> reference;
      if (c == u'%')
        reference = TKaPEntityReference::CreateReference(name, FOwnerDocument);
      else if (!name.empty() && name[0] == u'#')
        reference = TKaCharReference::CreateReference(name, FOwnerDocument);
      else
        reference = TKaGEntityReference::CreateReference(name, FOwnerDocument);
      const uint8_t destination = reference->GetDestType();
      if (destination == rdUnparsed)
        throw EKaOrvaneError("Reference to an unparsed entity is not allowed in the entity value.");
      if (destination == rdInternal || destination == rdExternal) {
        out.push_back(u'&');
        out.append(name);
        out.push_back(u';');
      } else if (reference->Retrieve()) {
        out.append(reference->GetValue());
      } else {
        out.append(value, i, semicolon - i + 1);
      }
      i = semicolon;
    } else {
      out.push_back(c);
    }
  }
  FValue = std::move(out);
}

void TKaPEntityReference::Write(TStream& /*Stream*/, int /*Level*/) {}

}  // namespace lumora
