#include "lumora/dtd/entity_decl.h"

#include "lumora/dom/document.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/references.h"
#include "lumora/framework/sysutils.h"
#include "lumora/framework/utf8.h"
#include "lumora/io/orvane_error.h"
#include "lumora/io/side_files.h"
#include "lumora/io/wide_output.h"
#include "lumora/parser/external_text.h"
#include "lumora/text/char_classes.h"

namespace lumora {
namespace {

// The replacement text of one value may not grow past this many characters
// by the expansion of parameter entities.
constexpr size_t kMaxExpandedValue = 8 * 1024 * 1024;

// The value as it reads back between double quotes in an entity declaration:
// what would start a reference it does not hold becomes a character
// reference.
std::u16string EscapedEntityValue(std::u16string_view value) {
  std::u16string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u'"') {
      out += u"&#34;";
    } else if (c == u'%') {
      out += u"&#37;";
    } else if (c == u'\r') {
      out += u"&#13;";
    } else if (c == u'&' && (!StartsReference(value, i) || value[i + 1] == u'#')) {
      // A general-entity reference stays; an '&' that a character reference
      // produced must not read back as a reference.
      out += u"&#38;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void TKaCustomEntityDecl::SetValue(std::u16string_view Value) {
  if (!FInternal) throw EKaOrvaneError("Can not set a value of an external entity.");
  const std::u16string previous(FValue.View());
  FValue = Value;
  try {
    Normalize();
  } catch (...) {
    FValue = std::u16string_view(previous);
    throw;
  }
}

void TKaCustomEntityDecl::Normalize() {
  const std::u16string_view value = FValue;
  const TKaDocumentType* doctype = FOwnerDocument ? FOwnerDocument->GetDocumentType() : nullptr;
  std::u16string out;
  out.reserve(value.size());
  size_t i = 0;
  while (i < value.size()) {
    // Copy the run up to the next reference in one go.
    const size_t mark = value.find_first_of(u"&%", i);
    out.append(value.substr(i, mark == std::u16string_view::npos ? std::u16string_view::npos : mark - i));
    if (mark == std::u16string_view::npos) break;
    const char16_t introducer = value[mark];
    if (mark + 1 == value.size())
      throw EKaOrvaneError::CreateXMLError("Illegal character in the entity value '&&' or '%'.",
                                           ParserLine());
    const size_t semicolon = value.find(u';', mark + 1);
    if (semicolon == std::u16string_view::npos)
      throw EKaOrvaneError("Illegal character in the the entity value '&&' or '%'.");
    const std::u16string_view name = value.substr(mark + 1, semicolon - mark - 1);
    const std::u16string_view written = value.substr(mark, semicolon - mark + 1);
    i = semicolon + 1;
    if (introducer == u'&' && !name.empty() && name[0] == u'#') {
      TKaCharReference reference(name, FOwnerDocument);
      if (reference.Retrieve())
        out += reference.GetValue();
      else
        out += written;
      continue;
    }
    const TKaCustomEntityDecl* decl = doctype ? doctype->GetEntityDecl(name) : nullptr;
    if (const auto* general = dynamic_cast<const TKaGEntityDecl*>(decl); general && general->IsUnparsed())
      throw EKaOrvaneError("Reference to an unparsed entity is not allowed in the entity value.");
    // General references are bypassed; so is a parameter reference that
    // names nothing yet.
    if (introducer == u'&' || !decl || !decl->IsParameter()) {
      out += written;
      continue;
    }
    if (decl == this)
      throw EKaOrvaneError(Format("Entity \"%s\" refers to itself.", WideToSystem(name)));
    // Through the reference, so that a parse counts what it produces.
    TKaPEntityReference reference(name, FOwnerDocument);
    reference.Retrieve();
    if (out.size() + reference.GetValue().size() > kMaxExpandedValue)
      throw EKaOrvaneError::CreateXMLError(
          Format("Entity expansion exceeds the limit of %d characters.",
                 static_cast<int>(kMaxExpandedValue)),
          ParserLine());
    out += reference.GetValue();
  }
  FValue = std::move(out);
}

void TKaCustomEntityDecl::Retrieve() {
  FRetrieved = false;
  TResource resource;
  if (!ReadExternalFile(resource)) return;
  TByteViewStream stream(resource.Bytes);
  FValue = ReadExternalText(stream, resource.Location, FOwnerDocument);
  FResourceLocation = std::move(resource.Location);
  FRetrieved = true;
}

void TKaCustomEntityDecl::Write(TStream& Stream, int Level) {
  const TKaXMLDocument* doc = FOwnerDocument;
  const TWriteMode mode = doc ? doc->GetWriteMode() : wmStandard;
  WriteWide(Stream, LeadWhite(Level));
  WriteWide(Stream, IsParameter() ? u"<!ENTITY % " : u"<!ENTITY ");
  WriteWide(Stream, FName);
  WriteWide(Stream, u" ");
  const bool identified = !FPublicLiteral.empty() || !FSystemLiteral.empty();
  // An unparsed entity has no text to inline, and external text that was
  // never read must not be replaced by an empty value: both keep their
  // identifier in every mode.
  const std::u16string* notation = NDataNotation();
  const bool kept = identified && (notation || !FRetrieved);
  TSideFiles* files = doc ? doc->GetSideFiles() : nullptr;
  if (!kept && !notation && mode == wmAllExternal && files) {
    // The text goes into a file of its own beside the output, as the
    // replacement text it is.
    const std::string name = files->Claim(FSystemLiteral, WideToSystem(FName) + ".ent");
    TMemoryStream text;
    WriteWide(text, FValue);
    files->Write(name, text);
    WriteExternalId(Stream, SystemToWide(name));
  } else if (kept || (identified && (mode == wmStandard || mode == wmAllExternal))) {
    WriteExternalId(Stream, FSystemLiteral);
    if (notation) {
      WriteWide(Stream, u"\r\n");
      WriteWide(Stream, LeadWhite(Level + 10));
      WriteWide(Stream, u"NDATA ");
      WriteWide(Stream, *notation);
    }
  } else {
    WriteWide(Stream, u"\"");
    // A character the output encoding lacks is written as a reference,
    // which the literal expands back.
    WriteEscaped(Stream, EscapedEntityValue(FValue), kKeepMarkup, OutputEncoding());
    WriteWide(Stream, u"\"");
  }
  WriteWide(Stream, u">\r\n");
}

void TKaGEntityDecl::SetNotation(std::u16string_view Name) {
  if (!FUnparsed) throw EKaOrvaneError("Can't set the notation value of a parsed entity.");
  FNotation = Name;
}

void TKaGEntityDecl::Retrieve() {
  if (!FUnparsed) TKaCustomEntityDecl::Retrieve();
}

void TKaGEntityDecl::Validate() {
  if (!FUnparsed || !FOwnerDocument) return;
  const TKaDocumentType* doctype = FOwnerDocument->GetDocumentType();
  if (!doctype || !doctype->GetNotationNamed(FNotation))
    FOwnerDocument->AddError(
        Format("[Unparsed entity declaration: \"%s\"]: Notation name \"%s\" is not declared.",
               WideToSystem(FName), WideToSystem(FNotation)),
        this);
}

}  // namespace lumora
