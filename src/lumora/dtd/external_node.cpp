#include "lumora/dtd/external_node.h"

#include "lumora/dom/document.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/wide_output.h"
#include "lumora/parser/orvane.h"

namespace lumora {

bool TKaExternalNode::ReadExternalFile(TResource& Resource) {
  TKaOrvane* parser = FOwnerDocument ? FOwnerDocument->GetParser() : nullptr;
  TResourceLoader loader(parser ? parser->GetResourceOptions() : TResourceOptions{});
  const std::string& base = FBaseLocation.empty() && parser ? parser->GetFileName() : FBaseLocation;
  if (loader.Load(FSystemLiteral, FPublicLiteral, base, Resource)) return true;
  if (parser && parser->GetOnFileNotFound())
    parser->GetOnFileNotFound()(
        this, WideToSystem(FSystemLiteral.empty() ? FPublicLiteral : FSystemLiteral));
  return false;
}

bool TKaExternalNode::ReadExternalFile(TStream& Stream) {
  TResource resource;
  if (!ReadExternalFile(resource)) return false;
  Stream.WriteString(resource.Bytes);
  return true;
}

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
