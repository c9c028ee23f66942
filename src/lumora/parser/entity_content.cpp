// Entity mode of the document parser: the replacement text of a general
// entity read as content on its own.
#include <algorithm>

#include "lumora/dom/document.h"
#include "lumora/framework/stream.h"
#include "lumora/io/orvane_error.h"
#include "lumora/parser/orvane.h"

namespace lumora {

void TKaOrvane::BeginEntityContent() {
  // Text before any markup is content too: read it as character data. The
  // start tags that follow are read as in content, attributes included.
  FToken->SetValues(tkTagEnd, u">", -1);
  FInContent = true;
  FCharData = true;
  FTextMayEnd = true;
  LexAn();
}

void TKaOrvane::EndEntityContent() {
  // An end tag without its start, or anything else that is not content,
  // must not end the text early and drop what follows it.
  if (FToken->GetCode() != tkEndOfFile) RaiseUnexpected();
}

void TKaOrvane::ParseReplacementText(std::u16string_view Text, TKaXMLElement& Parent) {
  TKaXMLDocument& document = *Parent.GetOwnerDocument();
  TKaOrvane* outer = document.GetParser();
  if (outer) {
    FStandardXML = outer->FStandardXML;
    FMaxNestingDepth = outer->FMaxNestingDepth;
    FSharedGuard = outer->GetExpansionGuard();
    FParsedEntities = outer->FParsedEntities;
    FFileName = outer->FFileName;
  }
  FDocument = &document;
  FGuard = FSharedGuard ? FSharedGuard : FOwnGuard.get();
  // Most replacement texts are short: buffers of their size, not a block's.
  FBlockSize = static_cast<int32_t>(
      std::clamp<size_t>(2 * Text.size() + 2, 64, static_cast<size_t>(TInputBuffer::kBlockSize)));
  Init();
  FParsing = true;
  document.AssignParser(this);
  try {
    // The text was read once already: its line ends are normalized, and a
    // carriage return in it came from a character reference.
    FDocBuffer->SetNormalizeLineEnds(false);
    FDocBuffer->Init(std::make_unique<TStringStream>(ReplacementBytes(Text)));
    FStrictSyntax = FStandardXML;
    FSpaceBefore = false;
    FTextHasAmp = false;
    // Declarations the outer parse could not read may declare what the
    // text refers to, as they may for the document.
    FSubsetHasPEReferences = outer && outer->FSubsetHasPEReferences;
    FPIData = false;
    FDepth = outer ? outer->FDepth : 0;
    BeginEntityContent();
    FStack->Push(&Parent);
    ParseElCont();
    EndEntityContent();
    FStack->Pop();
  } catch (...) {
    document.AssignParser(outer);
    Finalize();
    throw;
  }
  document.AssignParser(outer);
  Finalize();
}

}  // namespace lumora
