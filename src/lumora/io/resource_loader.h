// Reads the bytes of an external resource named by a system literal (and a
// public literal): a local regular file, a file: URL, or an http, https or
// ftp URL, after XML catalogs and an optional public-identifier resolver
// have had their say.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// What a loader may do; the parser copies them from its published properties.
struct TResourceOptions {
  bool AllowNetwork = true;  // RetrieveInternetURI
  bool AllowLocalFiles = true;
  long ConnectTimeoutMs = 10000, TotalTimeoutMs = 60000;
  size_t MaxBytes = 64u << 20;
  // Empty: public identifiers are not sent anywhere.
  std::string PublicResolverURL;
  std::vector<std::string> CatalogFiles;
};

// The defaults, with the catalogs of DefaultCatalogFiles (io/catalog.h):
// what a parser starts with.
TResourceOptions DefaultResourceOptions();

struct TResource {
  std::string Bytes;     // the raw bytes, undecoded
  std::string Location;  // where they came from (absolute path or URL): the base for names inside
};

class TResourceLoader {
 public:
  explicit TResourceLoader(TResourceOptions Options);

  // Resolves SystemLiteral (relative to Base: a path or URL, empty for the
  // working folder) and PublicLiteral (catalogs, then the resolver), and
  // reads the resource; false when nothing could be read.
  bool Load(std::u16string_view SystemLiteral, std::u16string_view PublicLiteral,
            const std::string& Base, TResource& Resource);

  const TResourceOptions& GetOptions() const { return FOptions; }

 private:
  // A system literal or catalog URI: a URL, an absolute path, or a name
  // relative to Base.
  bool LoadName(const std::string& Name, const std::string& Base, TResource& Resource);
  // Name in Folder (the working folder when empty), as written, then lower-cased.
  bool LoadLocal(const std::string& Folder, const std::string& Name, TResource& Resource);
  bool Download(const std::string& Url, TResource& Resource);

  TResourceOptions FOptions;
};

}  // namespace lumora
