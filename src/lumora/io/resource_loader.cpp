#include "lumora/io/resource_loader.h"

#include <filesystem>
#include <system_error>

#include "lumora/framework/sysutils.h"
#include "lumora/io/catalog.h"
#include "lumora/io/http_download.h"
#include "lumora/io/local_file.h"
#include "lumora/io/url.h"

namespace lumora {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string TrimBlanks(std::string_view text) {
  size_t start = 0, end = text.size();
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(start, end - start));
}

std::string AbsolutePath(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  return absolute.lexically_normal().string();
}

}  // namespace

TResourceOptions DefaultResourceOptions() {
  TResourceOptions options;
  options.CatalogFiles = DefaultCatalogFiles();
  return options;
}

TResourceLoader::TResourceLoader(TResourceOptions Options) : FOptions(std::move(Options)) {}

bool TResourceLoader::Load(std::u16string_view SystemLiteral, std::u16string_view PublicLiteral,
                           const std::string& Base, TResource& Resource) {
  const std::string system = TrimBlanks(WideToSystem(SystemLiteral));
  const std::string publicId = NormalizePublicId(WideToSystem(PublicLiteral));
  std::string uri;
  if (!FOptions.CatalogFiles.empty() &&
      ResolveByCatalogs(FOptions.CatalogFiles, publicId, system, uri) &&
      LoadName(uri, std::string(), Resource))
    return true;
  if (!publicId.empty() && !FOptions.PublicResolverURL.empty() &&
      Download(FOptions.PublicResolverURL + NormalizeURL(LowerCase(publicId)), Resource))
    return true;
  return !system.empty() && LoadName(system, Base, Resource);
}

bool TResourceLoader::LoadName(const std::string& Name, const std::string& Base,
                               TResource& Resource) {
  const std::string scheme = UrlScheme(Name);
  if (IsNetworkScheme(scheme)) return Download(EscapeURL(Name), Resource);
  // What a server sends may not read the reader's own files: below a
  // downloaded resource a name is another download, never a local file.
  const std::string baseScheme = UrlScheme(Base);
  const bool remote = IsNetworkScheme(baseScheme);
  std::string path;
  if (scheme == "file")
    return !remote && FileURLToPath(Name, path) && LoadLocal({}, path, Resource);
  if (!scheme.empty()) return false;
  if (Name[0] == '/') return !remote && LoadLocal({}, Name, Resource);
  // A relative name: against the resource that holds it, then the working
  // folder.
  if (remote) return Download(ResolveURL(Base, EscapeURL(Name)), Resource);
  std::string basePath = Base;
  if (baseScheme == "file" && !FileURLToPath(Base, basePath)) basePath.clear();
  if (!basePath.empty()) {
    const std::string folder = std::filesystem::path(basePath).parent_path().string();
    if (LoadLocal(folder, Name, Resource)) return true;
  }
  return LoadLocal({}, Name, Resource);
}

bool TResourceLoader::LoadLocal(const std::string& Folder, const std::string& Name,
                                TResource& Resource) {
  if (!FOptions.AllowLocalFiles) return false;
  // The name as written, then in lower case, as documents written for
  // case-blind file systems expect; only the name is lowered, never the
  // folder it is resolved in.
  const std::string lower = LowerCase(Name);
  for (const std::string& name : {Name, lower}) {
    const std::string path =
        Folder.empty() ? name : (std::filesystem::path(Folder) / name).string();
    if (ReadRegularFile(path, FOptions.MaxBytes, Resource.Bytes)) {
      Resource.Location = AbsolutePath(path);
      return true;
    }
    if (lower == Name) break;
  }
  Resource.Bytes.clear();
  return false;
}

bool TResourceLoader::Download(const std::string& Url, TResource& Resource) {
  if (!FOptions.AllowNetwork) return false;
  if (DownloadURL(Url, FOptions, Resource)) return true;
  Resource.Bytes.clear();
  return false;
}

}  // namespace lumora
