#include "lumora/dtd/notation.h"

#include "lumora/io/wide_output.h"
#include "lumora/text/char_classes.h"

namespace lumora {

void TKaNotation::Write(TStream& Stream, int Level) {
  WriteWide(Stream, LeadWhite(Level));
  WriteWide(Stream, u"<!NOTATION ");
  WriteWide(Stream, FName);
  if (!FPublicLiteral.empty() || !FSystemLiteral.empty()) {
    WriteWide(Stream, u"\r\n");
    WriteWide(Stream, LeadWhite(Level + 10));
    if (!FPublicLiteral.empty()) {
      WriteWide(Stream, u"PUBLIC");
      WriteQuotedLiteral(Stream, FPublicLiteral);
      if (!FSystemLiteral.empty()) WriteQuotedLiteral(Stream, FSystemLiteral);
    } else {
      WriteWide(Stream, u"SYSTEM");
      WriteQuotedLiteral(Stream, FSystemLiteral);
    }
  }
  WriteWide(Stream, u">\r\n");
}

std::unique_ptr<TKaXMLNode> TKaNotation::CloneNode() const {
  auto copy = CreateNotation(FName, FOwnerDocument);
  copy->FSystemLiteral = FSystemLiteral;
  copy->FPublicLiteral = FPublicLiteral;
  copy->FValue = FValue;
  return copy;
}

}  // namespace lumora
