#include "lumora/dtd/external_node.h"

#include "lumora/io/wide_output.h"

namespace lumora {

bool TKaExternalNode::ReadExternalFile(TStream& /*Stream*/) { return false; }

void WriteQuotedLiteral(TStream& Stream, std::u16string_view Literal) {
  const bool apostrophes = Literal.find(u'"') != std::u16string_view::npos;
  WriteWide(Stream, apostrophes ? u" '" : u" \"");
  WriteWide(Stream, Literal);
  WriteWide(Stream, apostrophes ? u"'" : u"\"");
}

void TKaExternalNode::WriteExternalId(TStream& Stream, std::u16string_view SystemLiteral) const {
  if (!FPublicLiteral.empty()) {
    WriteWide(Stream, u" PUBLIC");
    WriteQuotedLiteral(Stream, FPublicLiteral);
  } else {
    WriteWide(Stream, u" SYSTEM");
  }
  WriteQuotedLiteral(Stream, SystemLiteral);
}

}  // namespace lumora
