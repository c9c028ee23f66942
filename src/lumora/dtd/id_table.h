// The values of a document's ID attributes and how often each occurs, so
// that uniqueness and references are checked in constant time each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

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
  int Count(std::u16string_view Value) const;
  // Whether some value is had by more than one ID attribute: when none is,
  // each ID of the tree is known to be unique without a lookup.
  bool HasDuplicates() const { return FDuplicates; }

 private:
  // A distinct value (Count > 0) or a free slot (all zero). Plain data: the
  // slots live in memory of malloc's, which realloc grows without copying
  // and without touching new pages twice.
  struct TSlot {
    const char16_t* Data;
    size_t Size;
    uint32_t Hash;
    int Count;
  };
  struct TFree {
    void operator()(TSlot* Slots) const { std::free(Slots); }
  };

  // The slot where a value of this hash is looked for first: the order of
  // the hashes, spread over FHomes slots.
  size_t Home(uint32_t Hash) const {
    return static_cast<size_t>((static_cast<uint64_t>(Hash) * FHomes) >> 32);
  }
  void Reserve(size_t Capacity);
  void Build(size_t Values);

  // First the values as the walk meets them, then, in the same memory, the
  // table: the distinct values in the order of their hashes, each in its
  // home slot or in the first free one after it (the table may run a few
  // slots past FHomes). So the table is written front to back once, and a
  // lookup stops at a free slot or at a greater hash.
  std::unique_ptr<TSlot, TFree> FSlots;
  size_t FSize = 0, FCapacity = 0;
  uint64_t FHomes = 0;
  bool FDuplicates = false;
};

}  // namespace lumora
