// Tables keyed by names that are looked up with a std::u16string_view,
// without making a string of the key first: validation looks a name up for
// every element and attribute of a document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora {

// Whether two names are the same, code unit for code unit (the library
// compares char16_t strings a unit at a time).
inline bool SameName(std::u16string_view A, std::u16string_view B) {
  return A.size() == B.size() &&
         (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(char16_t)) == 0);
}

// FNV-1a over the code units: names are short, and this is cheaper than the
// library's hash of their bytes.
struct TNameHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view Name) const noexcept {
    uint64_t hash = 14695981039346656037ull;
    for (const char16_t c : Name) hash = (hash ^ c) * 1099511628211ull;
    return static_cast<size_t>(hash ^ (hash >> 32));
  }
};

template <class T>
using TNameMap = std::unordered_map<std::u16string, T, TNameHash, std::equal_to<>>;

// A set of names with a value each, for the lookups that repeat for every
// element: open addressing, so that a hit costs the hash and one compare.
// Entries are only added; Clear empties it. With a Key of
// std::u16string_view the table keeps views of names that outlive it.
template <class T, class Key = std::u16string>
class TNameTable {
 public:
  // The value of Name, or nil.
  const T* Find(std::u16string_view Name) const {
    if (FSlots.empty()) return nullptr;
    const uint32_t hash = HashOf(Name);
    for (size_t i = (hash >> 1) & FMask;; i = (i + 1) & FMask) {
      const TSlot& slot = FSlots[i];
      if (slot.Hash == 0) return nullptr;
      if (slot.Hash == hash && SameName(slot.Name, Name)) return &slot.Value;
    }
  }
  // The value of Name, added with T's default value when missing.
  T& operator[](std::u16string_view Name) {
    if (const T* known = Find(Name)) return *const_cast<T*>(known);
    return Add(Name, T{});
  }
  // Gives Name the value Value, adding it when it is not in the table.
  void Set(std::u16string_view Name, T Value) {
    if (const T* known = Find(Name))
      *const_cast<T*>(known) = std::move(Value);
    else
      Add(Name, std::move(Value));
  }
  // Adds Name (not in the table yet) with Value; returns the stored value.
  T& Add(std::u16string_view Name, T Value) {
    // At most three slots in four are used: probes stay short.
    if ((FCount + 1) * 4 > FSlots.size() * 3) Grow();
    const uint32_t hash = HashOf(Name);
    size_t i = (hash >> 1) & FMask;
    while (FSlots[i].Hash != 0) i = (i + 1) & FMask;
    TSlot& slot = FSlots[i];
    slot = {Key(Name), std::move(Value), hash};
    ++FCount;
    return slot.Value;
  }
  size_t Size() const { return FCount; }
  void Clear() {
    if (FCount == 0) return;
    FSlots.clear();
    FMask = 0;
    FCount = 0;
  }

 private:
  // Hash 0 marks a free slot: every name's hash has its low bit set, and
  // the bits above it choose the slot.
  struct TSlot {
    Key Name;
    T Value{};
    uint32_t Hash = 0;
  };

  static uint32_t HashOf(std::u16string_view Name) {
    return static_cast<uint32_t>(TNameHash()(Name)) | 1u;
  }

  void Grow() {
    std::vector<TSlot> old = std::move(FSlots);
    FSlots = std::vector<TSlot>(old.empty() ? 16 : old.size() * 2);
    FMask = FSlots.size() - 1;
    for (TSlot& slot : old) {
      if (slot.Hash == 0) continue;
      size_t i = (slot.Hash >> 1) & FMask;
      while (FSlots[i].Hash != 0) i = (i + 1) & FMask;
      FSlots[i] = std::move(slot);
    }
  }

  std::vector<TSlot> FSlots;
  size_t FMask = 0;
  size_t FCount = 0;
};

// Name with the ASCII letters A to Z in lower case, for one lookup: a short
// name is folded on the stack.
class TFoldedKey {
 public:
  explicit TFoldedKey(std::u16string_view Name) {
    char16_t* out = FShort;
    if (Name.size() > std::size(FShort)) {
      FLong.resize(Name.size());
      out = FLong.data();
    }
    for (size_t i = 0; i < Name.size(); ++i) {
      const char16_t c = Name[i];
      out[i] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
    }
    FView = std::u16string_view(out, Name.size());
  }
  TFoldedKey(const TFoldedKey&) = delete;
  TFoldedKey& operator=(const TFoldedKey&) = delete;

  std::u16string_view View() const { return FView; }

 private:
  char16_t FShort[48];
  std::u16string FLong;
  std::u16string_view FView;
};

}  // namespace lumora
