#include "lumora/io/catalog.h"

#include <cstdlib>

#include "lumora/framework/sysutils.h"

namespace lumora {

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

bool ResolveByCatalogs(const std::vector<std::string>& /*CatalogFiles*/,
                       const std::string& /*PublicId*/, const std::string& /*SystemId*/,
                       std::string& /*Uri*/) {
  return false;
}

}  // namespace lumora
