#include "lumora/dtd/external_node.h"

#include "lumora/dom/document.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/http_download.h"
#include "lumora/io/local_file.h"
#include "lumora/io/url.h"
#include "lumora/io/wide_output.h"
#include "lumora/parser/orvane.h"

namespace lumora {

TResourceOptions TKaExternalNode::ResourceOptions() const {
  const TKaOrvane* parser = FOwnerDocument ? FOwnerDocument->GetParser() : nullptr;
  return parser ? parser->GetResourceOptions() : DefaultResourceOptions();
}

bool TKaExternalNode::ReadExternalFile(TResource& Resource) {
  TKaOrvane* parser = FOwnerDocument ? FOwnerDocument->GetParser() : nullptr;
  TResourceLoader loader(ResourceOptions());
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

bool TKaExternalNode::DownloadFile(const std::string& URL, TStream& Stream) const {
  TResource resource;
  if (!DownloadURL(URL, ResourceOptions(), resource)) return false;
  Stream.WriteString(resource.Bytes);
  return true;
}

bool TKaExternalNode::GetLocalFile(const std::string& FileName, TStream& Stream) const {
  const TResourceOptions options = ResourceOptions();
  std::string bytes;
  if (!options.AllowLocalFiles || !ReadRegularFile(FileName, options.MaxBytes, bytes)) return false;
  Stream.WriteString(bytes);
  return true;
}

bool TKaExternalNode::NormalizeURL(const std::string& URL, std::string& Result) {
  Result = lumora::NormalizeURL(URL);
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
