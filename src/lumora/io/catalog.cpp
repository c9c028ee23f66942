#include "lumora/io/catalog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "lumora/dom/document.h"
#include "lumora/framework/stream.h"
#include "lumora/framework/sysutils.h"
#include "lumora/io/local_file.h"
#include "lumora/io/url.h"
#include "lumora/parser/orvane.h"

namespace lumora {

namespace {

// Catalogs are configuration, not documents: a few hundred entries at most.
constexpr size_t kMaxCatalogBytes = 16u << 20;
// Catalogs that delegate to catalogs: deeper than this is a loop.
constexpr int kMaxCatalogDepth = 16;

enum class TEntryKind {
  Public,
  System,
  Uri,
  RewriteSystem,
  RewriteUri,
  SystemSuffix,
  UriSuffix,
  DelegatePublic,
  DelegateSystem,
  DelegateUri,
  NextCatalog
};

struct TEntry {
  TEntryKind Kind;
  std::string Key;     // the identifier, prefix or suffix matched
  std::string Target;  // an absolute URI: the resource, the new prefix, or a catalog
  bool PreferPublic;   // public entries apply also when there is a system identifier
};

using TCatalog = std::vector<TEntry>;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The absolute URI of a catalog named by a path or a file: URL.
std::string CatalogUri(const std::string& name) {
  if (!UrlScheme(name).empty()) return name;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(name, error);
  return "file://" +
         EscapeURL((error ? std::filesystem::path(name) : absolute).lexically_normal().string());
}

std::string Attribute(const TKaXMLElement& element, std::u16string_view name) {
  return WideToSystem(element.GetAttribute(name));
}

std::u16string_view LocalName(const std::u16string& name) {
  const size_t colon = name.find(u':');
  return colon == std::u16string::npos ? std::u16string_view(name)
                                       : std::u16string_view(name).substr(colon + 1);
}

struct TEntryName {
  std::u16string_view Name;
  TEntryKind Kind;
  std::u16string_view KeyAttribute;
  std::u16string_view TargetAttribute;
};

constexpr TEntryName kEntryNames[] = {
    {u"public", TEntryKind::Public, u"publicId", u"uri"},
    {u"system", TEntryKind::System, u"systemId", u"uri"},
    {u"uri", TEntryKind::Uri, u"name", u"uri"},
    {u"rewriteSystem", TEntryKind::RewriteSystem, u"systemIdStartString", u"rewritePrefix"},
    {u"rewriteURI", TEntryKind::RewriteUri, u"uriStartString", u"rewritePrefix"},
    {u"systemSuffix", TEntryKind::SystemSuffix, u"systemIdSuffix", u"uri"},
    {u"uriSuffix", TEntryKind::UriSuffix, u"uriSuffix", u"uri"},
    {u"delegatePublic", TEntryKind::DelegatePublic, u"publicIdStartString", u"catalog"},
    {u"delegateSystem", TEntryKind::DelegateSystem, u"systemIdStartString", u"catalog"},
    {u"delegateURI", TEntryKind::DelegateUri, u"uriStartString", u"catalog"},
    {u"nextCatalog", TEntryKind::NextCatalog, u"", u"catalog"},
};

// The entries of the element tree below root, in document order, with
// relative targets resolved against xml:base or the catalog's own URI.
// Walked with an explicit stack: a catalog is data, and data may be deep.
void CollectEntries(const TKaXMLElement& root, const std::string& uri, TCatalog& catalog) {
  struct TFrame {
    const TKaXMLElement* Element;
    std::string Base;
    bool PreferPublic;
  };
  std::vector<TFrame> stack;
  const auto push = [&](const TKaXMLElement* element, const std::string& base, bool prefer) {
    std::string own = base;
    if (const std::string xmlBase = Attribute(*element, u"xml:base"); !xmlBase.empty())
      own = ResolveURL(base, xmlBase);
    const std::string preferText = Attribute(*element, u"prefer");
    stack.push_back({element, own, preferText.empty() ? prefer : preferText != "system"});
  };
  push(&root, uri, true);
  while (!stack.empty()) {
    const TFrame frame = stack.back();
    stack.pop_back();
    const std::u16string_view name = LocalName(frame.Element->TagName());
    if (frame.Element == &root || name == u"group") {
      // Children in document order: pushed last to first.
      std::vector<const TKaXMLElement*> children;
      for (const TKaXMLElement* child = frame.Element->GetFirstChild(); child;
           child = child->NextSibling())
        children.push_back(child);
      for (auto it = children.rbegin(); it != children.rend(); ++it)
        push(*it, frame.Base, frame.PreferPublic);
      continue;
    }
    for (const TEntryName& entry : kEntryNames) {
      if (entry.Name != name) continue;
      std::string key = entry.KeyAttribute.empty() ? std::string()
                                                   : Attribute(*frame.Element, entry.KeyAttribute);
      if (entry.Kind == TEntryKind::Public || entry.Kind == TEntryKind::DelegatePublic)
        key = NormalizePublicId(key);
      const std::string target = Attribute(*frame.Element, entry.TargetAttribute);
      if (target.empty() || (key.empty() && !entry.KeyAttribute.empty())) break;
      catalog.push_back(
          {entry.Kind, std::move(key), ResolveURL(frame.Base, target), frame.PreferPublic});
      break;
    }
  }
}

std::shared_ptr<const TCatalog> ParseCatalog(const std::string& uri) {
  auto catalog = std::make_shared<TCatalog>();
  std::string path, bytes;
  // Only local catalogs: a catalog is trusted configuration, and reading
  // one must not reach the network.
  if (!FileURLToPath(uri, path) || !ReadRegularFile(path, kMaxCatalogBytes, bytes)) return catalog;
  try {
    TKaOrvane parser(nullptr);
    // The catalog's own DOCTYPE names a DTD on the web: nothing is fetched.
    parser.SetRetrieveInternetURI(false);
    parser.SetAllowLocalFiles(false);
    parser.SetCatalogFiles({});
    std::unique_ptr<TKaXMLDocument> document;
    TByteViewStream stream(bytes);
    parser.Parse(stream, document, path);
    if (const TKaXMLElement* root = document ? document->GetDocumentElement() : nullptr)
      CollectEntries(*root, uri, *catalog);
  } catch (const std::exception&) {
    // A catalog that does not parse resolves nothing.
    catalog->clear();
  }
  return catalog;
}

// Catalogs read once per process, again when their file changes.
std::shared_ptr<const TCatalog> LoadCatalog(const std::string& uri) {
  static std::mutex mutex;
  struct TCached {
    std::shared_ptr<const TCatalog> Catalog;
    long long Stamp;
  };
  static std::map<std::string, TCached> cache;
  std::string path;
  long long stamp = -1;
  struct stat info {};
  if (FileURLToPath(uri, path) && stat(path.c_str(), &info) == 0)
    stamp = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec +
            static_cast<long long>(info.st_size) * 7;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = cache.find(uri);
    if (found != cache.end() && found->second.Stamp == stamp) return found->second.Catalog;
  }
  std::shared_ptr<const TCatalog> catalog = ParseCatalog(uri);
  const std::lock_guard<std::mutex> lock(mutex);
  cache[uri] = {catalog, stamp};
  return catalog;
}

struct TQuery {
  std::string PublicId;
  std::string SystemId;
  bool IsUri;  // SystemId is a URI reference to map, not an external identifier
};

bool ResolveIn(const std::vector<std::string>& uris, const TQuery& query, int depth,
               std::string& result);

// The catalogs of the delegate entries of kind whose prefix starts the
// identifier, longest prefix first; true when there was at least one.
bool Delegates(const TCatalog& catalog, TEntryKind kind, const std::string& id,
               std::vector<std::string>& uris) {
  std::vector<const TEntry*> matches;
  for (const TEntry& entry : catalog)
    if (entry.Kind == kind && id.starts_with(entry.Key)) matches.push_back(&entry);
  std::stable_sort(matches.begin(), matches.end(),
                   [](const TEntry* a, const TEntry* b) { return a->Key.size() > b->Key.size(); });
  for (const TEntry* entry : matches)
    if (std::find(uris.begin(), uris.end(), entry->Target) == uris.end())
      uris.push_back(entry->Target);
  return !matches.empty();
}

// The entries of one catalog file, in the order the catalog standard gives:
// exact system entries, rewrites, suffixes, delegation, then public entries.
// Returns 1 when resolved, 0 to go on with the next catalog, -1 when a
// delegation failed (which ends the search).
int ResolveInCatalog(const TCatalog& catalog, const TQuery& query, int depth, std::string& result) {
  const std::string& sys = query.SystemId;
  const TEntryKind exact = query.IsUri ? TEntryKind::Uri : TEntryKind::System;
  const TEntryKind rewrite = query.IsUri ? TEntryKind::RewriteUri : TEntryKind::RewriteSystem;
  const TEntryKind suffix = query.IsUri ? TEntryKind::UriSuffix : TEntryKind::SystemSuffix;
  const TEntryKind delegate = query.IsUri ? TEntryKind::DelegateUri : TEntryKind::DelegateSystem;
  if (!sys.empty()) {
    for (const TEntry& entry : catalog)
      if (entry.Kind == exact && entry.Key == sys) {
        result = entry.Target;
        return 1;
      }
    const TEntry* best = nullptr;
    for (const TEntry& entry : catalog)
      if (entry.Kind == rewrite && sys.starts_with(entry.Key) &&
          (!best || entry.Key.size() > best->Key.size()))
        best = &entry;
    if (best) {
      result = best->Target + sys.substr(best->Key.size());
      return 1;
    }
    best = nullptr;
    for (const TEntry& entry : catalog)
      if (entry.Kind == suffix && sys.ends_with(entry.Key) &&
          (!best || entry.Key.size() > best->Key.size()))
        best = &entry;
    if (best) {
      result = best->Target;
      return 1;
    }
    std::vector<std::string> uris;
    if (Delegates(catalog, delegate, sys, uris))
      return ResolveIn(uris, {std::string(), sys, query.IsUri}, depth + 1, result) ? 1 : -1;
  }
  const std::string& pub = query.PublicId;
  if (!pub.empty() && !query.IsUri) {
    for (const TEntry& entry : catalog)
      if (entry.Kind == TEntryKind::Public && entry.Key == pub &&
          (entry.PreferPublic || sys.empty())) {
        result = entry.Target;
        return 1;
      }
    std::vector<std::string> uris;
    if (Delegates(catalog, TEntryKind::DelegatePublic, pub, uris))
      return ResolveIn(uris, {pub, std::string(), false}, depth + 1, result) ? 1 : -1;
  }
  std::vector<std::string> next;
  for (const TEntry& entry : catalog)
    if (entry.Kind == TEntryKind::NextCatalog) next.push_back(entry.Target);
  return !next.empty() && ResolveIn(next, query, depth + 1, result) ? 1 : 0;
}

bool ResolveIn(const std::vector<std::string>& uris, const TQuery& query, int depth,
               std::string& result) {
  if (depth > kMaxCatalogDepth) return false;
  for (const std::string& uri : uris) {
    const int outcome = ResolveInCatalog(*LoadCatalog(uri), query, depth, result);
    if (outcome != 0) return outcome > 0;
  }
  return false;
}

}  // namespace

std::string NormalizePublicId(std::string_view text) {
  std::string out;
  bool blank = false;
  for (const char c : text) {
    if (IsBlank(c)) {
      blank = !out.empty();
    } else {
      if (blank) out += ' ';
      blank = false;
      out += c;
    }
  }
  return out;
}

std::vector<std::string> DefaultCatalogFiles() {
  std::vector<std::string> files;
  if (const char* list = std::getenv("XML_CATALOG_FILES")) {
    std::string_view rest(list);
    while (!rest.empty()) {
      const size_t start = rest.find_first_not_of(" \t\r\n");
      if (start == std::string_view::npos) break;
      rest.remove_prefix(start);
      const size_t end = rest.find_first_of(" \t\r\n");
      files.emplace_back(rest.substr(0, end));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    return files;
  }
  if (FileExists("/etc/xml/catalog")) files.emplace_back("/etc/xml/catalog");
  return files;
}

bool ResolveByCatalogs(const std::vector<std::string>& CatalogFiles, const std::string& PublicId,
                       const std::string& SystemId, std::string& Uri) {
  if (CatalogFiles.empty() || (PublicId.empty() && SystemId.empty())) return false;
  std::vector<std::string> uris;
  for (const std::string& file : CatalogFiles) uris.push_back(CatalogUri(file));
  const std::string pub = NormalizePublicId(PublicId);
  return ResolveIn(uris, {pub, SystemId, false}, 0, Uri) ||
         (!SystemId.empty() && ResolveIn(uris, {std::string(), SystemId, true}, 0, Uri));
}

}  // namespace lumora
