// Tokens and the symbol table that maps lexemes to token codes.
//
// Every lexeme inserted or kept (KeepLexeme) counts in the table, so that it
// has the index it would have in a table holding them all. Markup and single
// characters stay in the table until it is destroyed. The names, literals and
// texts the lexers read are only held for a while (HoldNext), uncounted:
// they are as large as the document, and the grammars copy what they need at
// once. The lexers recognize the markup keywords without asking the table.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/framework/list.h"
#include "lumora/framework/object.h"
#include "lumora/lex/lexeme_text.h"
#include "lumora/lex/token_codes.h"

namespace lumora {

// One token: its code, its text and where that text is in the symbol table.
class TSTEntry : public TObject {
 public:
  TSTEntry() = default;
  // lexem is zero-terminated; it is not copied (see TSymTab).
  TSTEntry(int32_t code, const char16_t* lexem, int32_t index) { SetValues(code, lexem, index); }

  void SetValues(int32_t code, const char16_t* lexem, int32_t index);
  // The table's entry, with the index it has there.
  void SetFromTable(const TSTEntry& entry, int32_t index) {
    FCode = entry.FCode;
    FLexem = entry.FLexem;
    FLength = entry.FLength;
    FIndex = index;
  }
  // code with text, which stays valid and is followed by U+0000; no index.
  void SetText(int32_t code, const char16_t* text, size_t length) {
    FCode = code;
    FLexem = text;
    FLength = static_cast<int32_t>(length);
    FIndex = -1;
  }
  void Copy(const TSTEntry& source) {
    FCode = source.FCode;
    FLexem = source.FLexem;
    FLength = source.FLength;
    FIndex = source.FIndex;
  }

  int32_t GetCode() const { return FCode; }
  // Index in the symbol table; -1 when none (and for entries of the table).
  int32_t GetIndex() const { return FIndex; }
  // Zero-terminated text; nullptr for a token without text (end of file).
  const char16_t* GetLexemPtr() const { return FLexem; }
  std::u16string_view GetLexem() const {
    return FLexem ? std::u16string_view(FLexem, static_cast<size_t>(FLength))
                  : std::u16string_view();
  }

 private:
  friend class TSymTab;
  const char16_t* FLexem = nullptr;
  int32_t FCode = 0;
  int32_t FIndex = 0;
  int32_t FLength = 0;
};

// A chained hash table of 211 buckets. The index of an entry is its bucket
// number plus 256 times its position in the bucket, so indexes stay stable as
// the table grows. Lookup ignores the case of ASCII letters.
//
// Names, literals and texts (codes 300, 302, 303, 307) are stored for their
// text only and never found by Lookup: a literal "]" must not turn a later
// "]" of the markup into a literal token. Lookups go through a second hash
// index over the other entries, which gives the answer of scanning the bucket
// for the first equal entry in constant time, however full the buckets get.
class TSymTab : public TObject {
 public:
  static constexpr int kBucketCount = 211;

  TSymTab();
  ~TSymTab() override;

  // Bucket of a lexeme: all case variants of a lexeme share one.
  static int hash(std::u16string_view lexem);
  // Index of the first entry equal to lexem regardless of case, or -1.
  // Entries of stored texts (see above) are passed over.
  int32_t Lookup(std::u16string_view lexem) const;
  // The same, giving the entry too (nil when none).
  const TSTEntry* Find(std::u16string_view lexem, int32_t& index) const;
  // Adds an entry with its own copy of lexem (up to its first U+0000), also
  // when an equal one exists, and returns its index.
  int32_t Insert(std::u16string_view lexem, int32_t code);
  // Insert of a lexeme that holds no U+0000; returns the entry.
  const TSTEntry& InsertLexeme(std::u16string_view lexem, int32_t code, int32_t& index);
  // A name, literal or text a lexer read (code IsStoredText; no U+0000). It
  // counts in its bucket, so index is what Insert would give; the entry and
  // its text stay valid until kKeptLexemes more lexemes have been kept, which
  // spans every token a grammar looks back at. Entry(index) does not find it.
  const TSTEntry& KeepLexeme(std::u16string_view lexem, int32_t code, int32_t& index);
  // The same for a lexeme the caller built, which it leaves empty.
  const TSTEntry& TakeLexeme(std::u16string& lexem, int32_t code, int32_t& index);
  static constexpr int kKeptLexemes = 16;
  // For the lexers, which build a name or text in place: the string that
  // holds the next one (its text is that of a lexeme kept kKeptLexemes ago),
  // and the entry that makes what it holds now a token. Such a token is not
  // counted and gets no index (-1); nothing about it is hashed.
  TLexemeText& NextHeld() { return FKeptTexts[FNextKept]; }
  const TSTEntry& HoldNext(int32_t code) { return NextKept(code); }
  // The same for a lexeme built elsewhere, which is copied.
  const TSTEntry& HoldCopy(std::u16string_view lexem, int32_t code);

  // These expect an index that Insert or Lookup returned.
  int32_t GetToken(int32_t index) const { return Entry(index).FCode; }
  const char16_t* GetLexemPtr(int32_t index) const { return Entry(index).FLexem; }
  std::u16string GetLexem(int32_t index) const { return std::u16string(Entry(index).GetLexem()); }
  // Raises std::out_of_range for an index that names no entry.
  const TSTEntry& Entry(int32_t index) const;

  // Entries counted, kept lexemes included.
  int32_t Count() const { return FCount; }
  // Codes of the entries that keep a text without being looked up.
  static bool IsStoredText(int32_t code) {
    return code == tkName || code == tkLiteral || code == tkText || code == tkNmToken;
  }

 private:
  struct TSlot {
    uint32_t Hash = 0;
    int32_t Ordinal = -1;  // position in FEntries; -1 for a free slot
  };

  const char16_t* Store(std::u16string_view text);
  static int BucketOf(std::u16string_view lexem);
  // The index of the next entry of bucket, which it then counts.
  int32_t CountIn(int bucket);
  int32_t ScanBucket(std::u16string_view lexem) const;
  void IndexEntry(int32_t ordinal, uint32_t foldedHash);
  void GrowIndex();

  std::unique_ptr<TList<TSTEntry>> FBuckets[kBucketCount];
  // Position in its bucket of each entry of FBuckets, ascending; kept
  // lexemes take the positions in between.
  std::vector<int32_t> FPositions[kBucketCount];
  int32_t FBucketSizes[kBucketCount] = {};
  int32_t FCount = 0;
  // The kept lexemes, used in turn.
  TSTEntry FKeptEntries[kKeptLexemes];
  TLexemeText FKeptTexts[kKeptLexemes];
  int FNextKept = 0;
  std::deque<TSTEntry> FEntries;         // the entries, in insertion order
  std::vector<int32_t> FIndexOfOrdinal;  // table index of each entry
  // Lexeme storage: large blocks filled one after the other.
  std::vector<std::unique_ptr<char16_t[]>> FBlocks;
  size_t FBlockUsed = 0;
  size_t FBlockSize = 0;
  // Open addressing over the case-folded text: the first entry of each text.
  std::vector<TSlot> FSlots;
  // The same for texts of one or two ASCII characters, most of the markup:
  // ordinal + 1 of the first entry, 0 for none; see ShortKey.
  std::vector<int32_t> FShort;
  static int ShortKey(std::u16string_view lexem);
  const TSTEntry& KeptEntry(int32_t code, int32_t& index, std::u16string_view lexem);
  // The entry of the kept text in the current slot, which moves on.
  TSTEntry& NextKept(int32_t code) {
    const int slot = FNextKept;
    FNextKept = FNextKept + 1 == kKeptLexemes ? 0 : FNextKept + 1;
    TSTEntry& entry = FKeptEntries[slot];
    entry.FCode = code;
    entry.FLexem = FKeptTexts[slot].Terminated();
    entry.FLength = static_cast<int32_t>(FKeptTexts[slot].size());
    entry.FIndex = -1;
    return entry;
  }
  size_t FSlotsUsed = 0;
};

}  // namespace lumora
