#include "lumora/io/side_files.h"

#include "lumora/framework/exception.h"
#include "lumora/io/file_streams.h"
#include "lumora/framework/sysutils.h"

namespace lumora {
namespace fs = std::filesystem;

namespace {

// Names longer than this are not file names on common file systems.
constexpr size_t kMaxName = 255;

fs::path Canonical(const fs::path& path) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(path, ec);
  return ec ? fs::absolute(path, ec).lexically_normal() : canonical;
}

bool IsUrl(std::string_view location) {
  const size_t colon = location.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = location[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
          c == '-' || c == '.'))
      return false;
  }
  return true;
}

}  // namespace

TSideFiles::TSideFiles(const std::string& OutputFile,
                       const std::vector<std::string>& ReadLocations) {
  const fs::path output = Canonical(fs::path(OutputFile));
  FFolder = output.parent_path();
  FAvoid.insert(output);
  for (const std::string& location : ReadLocations) {
    if (location.empty()) continue;
    if (location.starts_with("file:")) {
      // file:///path and file:/path name local files as well.
      std::string_view path(location);
      path.remove_prefix(5);
      while (path.starts_with("//")) path.remove_prefix(1);
      FAvoid.insert(Canonical(fs::path(path)));
    } else if (!IsUrl(location)) {
      FAvoid.insert(Canonical(fs::path(location)));
    }
  }
}

std::string TSideFiles::PlainName(std::u16string_view Literal) {
  std::u16string_view name = Literal;
  // A URL's query and fragment are no part of a file name.
  if (const size_t cut = name.find_first_of(u"?#"); cut != std::u16string_view::npos)
    name = name.substr(0, cut);
  if (const size_t slash = name.find_last_of(u"/\\"); slash != std::u16string_view::npos)
    name = name.substr(slash + 1);
  if (name.empty() || name.front() == u'.') return {};
  for (const char16_t c : name)
    if (c < 0x20 || c == 0x7F || c == u':') return {};
  std::string plain = WideToSystem(name);
  if (plain.size() > kMaxName) return {};
  return plain;
}

bool TSideFiles::Taken(const std::string& Name) const {
  return FClaimed.count(Name) || FAvoid.count(Canonical(FFolder / Name));
}

std::string TSideFiles::Claim(std::u16string_view Literal, const std::string& Fallback) {
  // The fallback is made of an XML name, whose colon would read as a scheme.
  std::string plainFallback = Fallback;
  for (char& c : plainFallback)
    if (c == ':' || c == '/' || c == '\\') c = '_';
  std::string name = PlainName(Literal);
  if (name.empty() || Taken(name)) name = plainFallback;
  // "x.dtd", "x-2.dtd", "x-3.dtd", ...
  const fs::path fallback(plainFallback);
  const std::string stem = fallback.stem().string(), extension = fallback.extension().string();
  for (int n = 2; Taken(name); ++n) name = stem + "-" + std::to_string(n) + extension;
  FClaimed.insert(name);
  return name;
}

void TSideFiles::Write(const std::string& Name, TMemoryStream& Text) const {
  const auto file = TXMLFileStream::CreateForWriting((FFolder / Name).string());
  static const char kMark[] = "\xFF\xFE";
  if (file->Write(kMark, 2) != 2 || file->Write(Text.Memory(), Text.Size()) != Text.Size())
    throw EWriteError("Stream write error");
}

}  // namespace lumora
