#include "lumora/dtd/id_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "lumora/dom/element.h"
#include "lumora/dtd/attlist_decl.h"
#include "lumora/dtd/document_type.h"
#include "lumora/dtd/element_rules.h"

namespace lumora {

namespace {

bool DeclaresIDs(const TKaDocumentType& DocType) {
  for (const TKaXMLNode* node = DocType.GetContentList().GetRoot(ATTLIST_DECL_NODE); node;
       node = node->NextSibling()) {
    const auto* list = dynamic_cast<const TKaAttListDecl*>(node);
    for (const TKaXMLNode* def = list ? list->GetFirstNode() : nullptr; def; def = def->Next())
      if (static_cast<const TKaAttDef*>(def)->GetAttrType() == atID) return true;
  }
  return false;
}

// The table orders values by the top bits of their hash, and the names'
// hash spreads the last characters of similar values (P000001, P000002, ...)
// over its low bits only: a multiply carries every bit to the top.
uint32_t HashOf(std::u16string_view Value) {
  return static_cast<uint32_t>((TNameHash()(Value) * 0x9E3779B97F4A7C15ull) >> 32);
}

std::u16string_view ViewOf(const auto& Slot) { return {Slot.Data, Slot.Size}; }

// Sorts Items by their Hash in place: one pass of a radix sort on the top
// bits (counting, then moving each item once into its bucket), then each
// bucket, of a few items when the hashes spread, on its own.
template <class T>
void SortByHash(T* Items, size_t Count) {
  const auto byHash = [](const T& a, const T& b) { return a.Hash < b.Hash; };
  constexpr int kShift = 21;  // 2048 buckets
  if (Count < 4096) {
    std::sort(Items, Items + Count, byHash);
    return;
  }
  std::array<size_t, 2048> next{}, end{};
  for (size_t i = 0; i < Count; ++i) ++end[Items[i].Hash >> kShift];
  for (size_t b = 0, start = 0; b < end.size(); ++b) {
    next[b] = start;
    start += end[b];
    end[b] = start;
  }
  for (size_t b = 0; b < end.size(); ++b) {
    while (next[b] < end[b]) {
      T item = Items[next[b]];
      for (size_t to = item.Hash >> kShift; to != b; to = item.Hash >> kShift)
        std::swap(item, Items[next[to]++]);
      Items[next[b]++] = item;
    }
  }
  for (size_t b = 0, start = 0; b < end.size(); start = end[b++])
    std::sort(Items + start, Items + end[b], byHash);
}

}  // namespace

TIDTable::TIDTable(const TKaXMLElement& Root, const TKaDocumentType& DocType) {
  // Without ID definitions there is nothing to look for in the tree.
  if (!DeclaresIDs(DocType)) return;
  // The values are gathered in document order first and only then placed:
  // growing a hash table as the walk goes would write it all over, again at
  // every doubling.
  TElementRules rules(DocType);
  for (const TKaXMLElement* e = &Root; e; e = NextElementInSubtree(&Root, e)) {
    TElementRule& rule = rules.For(e->GetName());
    if (!rule.DeclaresID) continue;
    for (const TKaXMLNode* a = e->GetNodeList().GetRoot(ATTRIBUTE_NODE); a; a = a->NextSibling()) {
      const TKaAttDef* def = rules.AttDef(rule, a->GetName());
      if (!def || def->GetAttrType() != atID) continue;
      if (FSize == FCapacity) Reserve(FCapacity < 64 ? 64 : FCapacity * 2);
      const std::u16string_view value = a->ValueView();
      FSlots.get()[FSize++] = {value.data(), value.size(), HashOf(value), 1};
    }
  }
  Build(FSize);
}

void TIDTable::Reserve(size_t Capacity) {
  void* slots = std::realloc(FSlots.get(), Capacity * sizeof(TSlot));
  if (!slots) throw std::bad_alloc();
  (void)FSlots.release();
  FSlots.reset(static_cast<TSlot*>(slots));
  FCapacity = Capacity;
}

void TIDTable::Build(size_t Values) {
  if (Values == 0) return;
  TSlot* slots = FSlots.get();
  SortByHash(slots, Values);
  // Equal values have equal hashes: within each run of one hash, equal
  // values are brought together and counted as one.
  size_t distinct = 0;
  for (size_t run = 0; run < Values;) {
    size_t end = run + 1;
    while (end < Values && slots[end].Hash == slots[run].Hash) ++end;
    if (end - run > 1)
      std::sort(slots + run, slots + end,
                [](const TSlot& a, const TSlot& b) { return ViewOf(a) < ViewOf(b); });
    for (size_t i = run; i < end; ++i) {
      if (distinct > 0 && slots[distinct - 1].Hash == slots[i].Hash &&
          ViewOf(slots[distinct - 1]) == ViewOf(slots[i]))
        ++slots[distinct - 1].Count;
      else
        slots[distinct++] = slots[i];
    }
    run = end;
  }
  FDuplicates = distinct < Values;
  // Two homes for every three values or so: a value lies a slot or two
  // from its home. Value i goes to slot i + M, M the greatest Home(k) - k of
  // the values k up to it, so that the table ends at distinct + M of the
  // last. Moved to the end of that table first, each value goes to a slot
  // at or before the one it stands in, over values already placed.
  FHomes = distinct + distinct / 2 + 1;
  size_t lead = 0;
  for (size_t i = 0; i < distinct; ++i) {
    const size_t home = Home(slots[i].Hash);
    if (home > i) lead = std::max(lead, home - i);
  }
  FSize = distinct + lead;
  if (FSize > FCapacity) Reserve(FSize);
  slots = FSlots.get();
  std::memmove(static_cast<void*>(slots + lead), slots, distinct * sizeof(TSlot));
  size_t next = 0;
  for (size_t i = 0; i < distinct; ++i) {
    const size_t at = std::max(Home(slots[lead + i].Hash), next);
    std::memset(static_cast<void*>(slots + next), 0, (at - next) * sizeof(TSlot));
    slots[at] = slots[lead + i];
    next = at + 1;
  }
  if (FSize < FCapacity) Reserve(FSize);
}

int TIDTable::Count(std::u16string_view Value) const {
  const TSlot* slots = FSlots.get();
  if (FHomes == 0) return 0;
  const uint32_t hash = HashOf(Value);
  for (size_t i = Home(hash); i < FSize; ++i) {
    const TSlot& slot = slots[i];
    // A free slot or a greater hash: every value of this hash lies before.
    if (slot.Count == 0 || slot.Hash > hash) return 0;
    if (slot.Hash == hash && slot.Size == Value.size() &&
        (slot.Data == Value.data() ||
         std::memcmp(slot.Data, Value.data(), Value.size() * sizeof(char16_t)) == 0))
      return slot.Count;
  }
  return 0;
}

}  // namespace lumora
