// XML catalogs: map public and system identifiers to the local copies of
// well-known DTDs and entity sets before anything is downloaded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// The catalog files used unless the application names others: those listed
// (separated by blanks) in XML_CATALOG_FILES, else /etc/xml/catalog when it
// exists.
std::vector<std::string> DefaultCatalogFiles();

// A public identifier as catalogs compare it: runs of white space one
// blank, none at either end.
std::string NormalizePublicId(std::string_view Text);

// The URI the catalogs CatalogFiles give for PublicId or SystemId (either may
// be empty); false when they give none.
bool ResolveByCatalogs(const std::vector<std::string>& CatalogFiles, const std::string& PublicId,
                       const std::string& SystemId, std::string& Uri);

}  // namespace lumora
