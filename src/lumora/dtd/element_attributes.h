// The attributes of an element, collected in one walk of its list, and
// whether it has one of an exact name, in time independent of how many it
// has: a few are compared, many are hashed. Validation makes one for every
// element, so a few are held without allocating.
#pragma once

#include <array>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lumora/dom/attr.h"
#include "lumora/dom/element.h"
#include "lumora/dtd/name_lookup.h"

namespace lumora {

// A list that holds its first N items in itself.
template <class T, size_t N>
class TShortList {
 public:
  void push_back(T item) {
    if (FCount < N) {
      FInline[FCount++] = item;
      return;
    }
    if (FMore.empty()) FMore.assign(FInline.begin(), FInline.end());
    FMore.push_back(item);
    ++FCount;
  }
  std::span<const T> All() const {
    return FMore.empty() ? std::span<const T>(FInline.data(), FCount) : std::span<const T>(FMore);
  }
  size_t size() const { return FCount; }

 private:
  std::array<T, N> FInline{};
  size_t FCount = 0;
  std::vector<T> FMore;  // all items, once there are more than N
};

class TElementAttributes {
 public:
  explicit TElementAttributes(const TKaXMLElement& Element) {
    for (TKaXMLNode* a = Element.GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling())
      FAttributes.push_back(static_cast<TKaXMLAttr*>(a));
    if (FAttributes.size() <= kCompared) return;
    for (const TKaXMLAttr* a : FAttributes.All()) FNames.insert(a->GetName());
  }

  std::span<TKaXMLAttr* const> All() const { return FAttributes.All(); }

  bool Has(std::u16string_view Name) const {
    if (FAttributes.size() > kCompared) return FNames.contains(Name);
    for (const TKaXMLAttr* a : FAttributes.All())
      if (SameName(a->GetName(), Name)) return true;
    return false;
  }

 private:
  static constexpr size_t kCompared = 8;

  TShortList<TKaXMLAttr*, kCompared> FAttributes;
  // The names when there are many; they view the attributes' own names.
  std::unordered_set<std::u16string_view> FNames;
};

}  // namespace lumora
