// The attributes of an element, collected in one walk of its list, and
// whether it has one of an exact name, in time independent of how many it
// has: a few are compared, many are hashed.
#pragma once

#include <string_view>
#include <unordered_set>
#include <vector>

#include "lumora/dom/attr.h"
#include "lumora/dom/element.h"

namespace lumora {

class TElementAttributes {
 public:
  explicit TElementAttributes(const TKaXMLElement& Element) {
    for (TKaXMLNode* a = Element.GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling())
      FAttributes.push_back(static_cast<TKaXMLAttr*>(a));
    if (FAttributes.size() <= kCompared) return;
    for (const TKaXMLAttr* a : FAttributes) FNames.insert(a->GetName());
  }

  const std::vector<TKaXMLAttr*>& All() const { return FAttributes; }

  bool Has(std::u16string_view Name) const {
    if (FAttributes.size() > kCompared) return FNames.contains(Name);
    for (const TKaXMLAttr* a : FAttributes)
      if (a->GetName() == Name) return true;
    return false;
  }

 private:
  static constexpr size_t kCompared = 8;

  std::vector<TKaXMLAttr*> FAttributes;
  // The names when there are many; they view the attributes' own names.
  std::unordered_set<std::u16string_view> FNames;
};

}  // namespace lumora
