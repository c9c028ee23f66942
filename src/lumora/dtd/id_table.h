// The values of a document's ID attributes and how often each occurs, so
// that uniqueness and references are checked in constant time each.
#pragma once

#include <string_view>

#include "lumora/dtd/name_lookup.h"
#include "lumora/framework/object.h"

namespace lumora {

class TKaDocumentType;
class TKaXMLElement;

class TIDTable : public TObject {
 public:
  // Every attribute of Root and the elements below it that DocType declares
  // of type ID. The table refers to the attributes' values: it is valid
  // while the tree is not changed.
  TIDTable(const TKaXMLElement& Root, const TKaDocumentType& DocType);

  // How many ID attributes have exactly this value.
  int Count(std::u16string_view Value) const {
    const int* count = FCounts.Find(Value);
    return count ? *count : 0;
  }

 private:
  TNameTable<int, std::u16string_view> FCounts;
};

}  // namespace lumora
