#include "lumora/lex/symbol_table.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

constexpr size_t kStorageBlock = 1 << 16;  // code units per storage block

inline char16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// FNV-1a over the case-folded text.
uint32_t FoldedHash(std::u16string_view text) {
  uint32_t h = 2166136261u;
  for (char16_t c : text) {
    h = (h ^ FoldAscii(c)) * 16777619u;
  }
  return h;
}

bool EqualFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::u16string_view Terminated(std::u16string_view text) {
  const size_t zero = text.find(u'\0');
  return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

}  // namespace

void TSTEntry::SetValues(int32_t code, const char16_t* lexem, int32_t index) {
  FCode = code;
  FLexem = lexem;
  FLength = lexem ? static_cast<int32_t>(std::char_traits<char16_t>::length(lexem)) : 0;
  FIndex = index;
}

TSymTab::TSymTab() {
  for (auto& bucket : FBuckets) bucket = std::make_unique<TList<TSTEntry>>();
  FSlots.resize(1024);
  FShort.assign(128 + 128 * 128, 0);
}

TSymTab::~TSymTab() = default;

int TSymTab::hash(std::u16string_view lexem) {
  return BucketOf(Terminated(lexem));
}

int TSymTab::BucketOf(std::u16string_view lexem) {
  // h = h * 16 + c in 16 bits shifts every character out after four more:
  // the last four characters alone decide the bucket, however long the text.
  if (lexem.size() > 4) lexem.remove_prefix(lexem.size() - 4);
  uint16_t h = 0;
  if (XMLUpCase == WUpCase && XMLOrd == static_cast<TXMLOrdFunc>(UOrd)) {
    for (char16_t c : lexem) h = static_cast<uint16_t>(h * 16 + FoldAscii(c));
  } else {
    for (char16_t c : lexem) h = static_cast<uint16_t>(h * 16 + XMLOrd(XMLUpCase(c)));
  }
  return h % kBucketCount;
}

const TSTEntry& TSymTab::Entry(int32_t index) const {
  const int32_t bucket = index & 0xFF;
  if (index < 0 || bucket >= kBucketCount) throw std::out_of_range("TSymTab: no such index");
  const std::vector<int32_t>& positions = FPositions[static_cast<size_t>(bucket)];
  const auto at = std::lower_bound(positions.begin(), positions.end(), index >> 8);
  if (at == positions.end() || *at != index >> 8)
    throw std::out_of_range("TSymTab: no entry kept at this index");
  return *FBuckets[static_cast<size_t>(bucket)]->Get(static_cast<int>(at - positions.begin()));
}

int32_t TSymTab::CountIn(int bucket) {
  const int32_t position = FBucketSizes[bucket]++;
  ++FCount;
  // Beyond some two billion tokens an index no longer fits: the token has none.
  return position > (INT32_MAX >> 8) ? -1 : bucket + 256 * position;
}

const TSTEntry& TSymTab::KeepLexeme(std::u16string_view lexem, int32_t code, int32_t& index) {
  FKeptTexts[FNextKept].assign(lexem);
  return KeptEntry(code, index, lexem);
}

const TSTEntry& TSymTab::TakeLexeme(std::u16string& lexem, int32_t code, int32_t& index) {
  FKeptTexts[FNextKept].assign(lexem);
  lexem.clear();
  return KeptEntry(code, index, FKeptTexts[FNextKept]);
}

const TSTEntry& TSymTab::HoldCopy(std::u16string_view lexem, int32_t code) {
  FKeptTexts[FNextKept].assign(lexem);
  return NextKept(code);
}

// Fills the kept entry of the current slot, whose text is in place.
const TSTEntry& TSymTab::KeptEntry(int32_t code, int32_t& index, std::u16string_view lexem) {
  index = CountIn(BucketOf(lexem));
  return NextKept(code);
}

int32_t TSymTab::Lookup(std::u16string_view lexem) const {
  int32_t index = -1;
  Find(lexem, index);
  return index;
}

int TSymTab::ShortKey(std::u16string_view lexem) {
  if (lexem.empty() || lexem.size() > 2) return -1;
  const char16_t first = FoldAscii(lexem[0]);
  if (first >= 128) return -1;
  if (lexem.size() == 1) return first;
  const char16_t second = FoldAscii(lexem[1]);
  return second < 128 ? 128 + first * 128 + second : -1;
}

const TSTEntry* TSymTab::Find(std::u16string_view lexem, int32_t& index) const {
  lexem = Terminated(lexem);
  index = -1;
  // A replaced comparison may equate other texts than the index does.
  if (XMLCompareText != WCompareText) {
    index = ScanBucket(lexem);
    return index < 0 ? nullptr : &Entry(index);
  }
  int32_t ordinal = -1;
  if (const int key = ShortKey(lexem); key >= 0) {
    ordinal = FShort[static_cast<size_t>(key)] - 1;
  } else {
    const uint32_t h = FoldedHash(lexem);
    const size_t mask = FSlots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const TSlot& slot = FSlots[i];
      if (slot.Ordinal < 0) break;
      if (slot.Hash == h &&
          EqualFolded(FEntries[static_cast<size_t>(slot.Ordinal)].GetLexem(), lexem)) {
        ordinal = slot.Ordinal;
        break;
      }
    }
  }
  if (ordinal < 0) return nullptr;
  index = FIndexOfOrdinal[static_cast<size_t>(ordinal)];
  return &FEntries[static_cast<size_t>(ordinal)];
}

int32_t TSymTab::ScanBucket(std::u16string_view lexem) const {
  const int bucket = BucketOf(lexem);
  const TList<TSTEntry>& list = *FBuckets[static_cast<size_t>(bucket)];
  for (int i = 0; i < list.Count(); ++i)
    if (!IsStoredText(list[i]->FCode) && XMLCompareText(list[i]->GetLexem(), lexem) == 0)
      return bucket + 256 * FPositions[static_cast<size_t>(bucket)][static_cast<size_t>(i)];
  return -1;
}

int32_t TSymTab::Insert(std::u16string_view lexem, int32_t code) {
  int32_t index;
  InsertLexeme(Terminated(lexem), code, index);
  return index;
}

const TSTEntry& TSymTab::InsertLexeme(std::u16string_view lexem, int32_t code, int32_t& index) {
  const int bucket = BucketOf(lexem);
  const auto ordinal = static_cast<int32_t>(FEntries.size());
  TSTEntry& entry = FEntries.emplace_back();
  entry.FCode = code;
  entry.FLexem = Store(lexem);
  entry.FLength = static_cast<int32_t>(lexem.size());
  entry.FIndex = -1;
  FPositions[static_cast<size_t>(bucket)].push_back(FBucketSizes[bucket]);
  index = CountIn(bucket);
  FBuckets[static_cast<size_t>(bucket)]->Add(&entry);
  FIndexOfOrdinal.push_back(index);
  if (!IsStoredText(code)) IndexEntry(ordinal, FoldedHash(lexem));
  return entry;
}

const char16_t* TSymTab::Store(std::u16string_view text) {
  const size_t need = text.size() + 1;
  if (FBlocks.empty() || FBlockUsed + need > FBlockSize) {
    FBlockSize = std::max(kStorageBlock, need);
    FBlocks.push_back(std::make_unique<char16_t[]>(FBlockSize));
    FBlockUsed = 0;
  }
  char16_t* out = FBlocks.back().get() + FBlockUsed;
  std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
  out[text.size()] = 0;
  FBlockUsed += need;
  return out;
}

void TSymTab::IndexEntry(int32_t ordinal, uint32_t foldedHash) {
  const std::u16string_view lexem = FEntries[static_cast<size_t>(ordinal)].GetLexem();
  const size_t mask = FSlots.size() - 1;
  for (size_t i = foldedHash & mask;; i = (i + 1) & mask) {
    TSlot& slot = FSlots[i];
    if (slot.Ordinal < 0) {
      slot = {foldedHash, ordinal};
      if (const int key = ShortKey(lexem); key >= 0) FShort[static_cast<size_t>(key)] = ordinal + 1;
      break;
    }
    // An equal text is indexed already: Lookup keeps finding the first one.
    if (slot.Hash == foldedHash &&
        EqualFolded(FEntries[static_cast<size_t>(slot.Ordinal)].GetLexem(), lexem))
      return;
  }
  if (++FSlotsUsed * 2 > FSlots.size()) GrowIndex();
}

void TSymTab::GrowIndex() {
  std::vector<TSlot> old(FSlots.size() * 2);
  old.swap(FSlots);
  const size_t mask = FSlots.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.Ordinal < 0) continue;
    size_t i = slot.Hash & mask;
    while (FSlots[i].Ordinal >= 0) i = (i + 1) & mask;
    FSlots[i] = slot;
  }
}

}  // namespace lumora
