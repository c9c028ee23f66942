// The text of a lexeme as a scanner builds it, unit by unit or in runs.
//
// Unlike a std::u16string it always keeps room for kSlack units more than
// it holds (and a terminating U+0000), so that a bulk read can store 16
// widened bytes straight behind the text and then count only those that
// belong to it. The storage stays from one lexeme to the next.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace lumora {

class TLexemeText {
 public:
  static constexpr size_t kSlack = 16;

  TLexemeText() { Grow(48); }
  TLexemeText(const TLexemeText&) = delete;
  TLexemeText& operator=(const TLexemeText&) = delete;

  size_t size() const { return FSize; }
  bool empty() const { return FSize == 0; }
  const char16_t* data() const { return FData.get(); }
  char16_t operator[](size_t i) const { return FData[i]; }
  operator std::u16string_view() const { return {FData.get(), FSize}; }  // NOLINT: a text
  // The text followed by U+0000.
  const char16_t* Terminated() {
    FData[FSize] = 0;
    return FData.get();
  }

  void clear() { FSize = 0; }
  void push_back(char16_t c) {
    FData[FSize++] = c;
    if (FSize + kSlack >= FCapacity) Grow(FSize);
  }
  void assign(std::u16string_view text) {
    FSize = 0;
    append(text);
  }
  void append(std::u16string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size() * sizeof(char16_t));
    FSize += text.size();
  }
  // Where n more units go, with kSlack units of room after them; Commit
  // then counts those that were written.
  char16_t* Room(size_t n) {
    if (FSize + n + kSlack >= FCapacity) Grow(FSize + n);
    return FData.get() + FSize;
  }
  void Commit(size_t n) { FSize += n; }

 private:
  // Room for at least need units, the slack and the terminator.
  void Grow(size_t need) {
    size_t capacity = FCapacity < 64 ? 64 : FCapacity;
    while (capacity <= need + kSlack) capacity *= 2;
    auto grown = std::make_unique_for_overwrite<char16_t[]>(capacity);
    if (FSize > 0) std::memcpy(grown.get(), FData.get(), FSize * sizeof(char16_t));
    FData = std::move(grown);
    FCapacity = capacity;
  }

  std::unique_ptr<char16_t[]> FData;
  size_t FSize = 0;
  size_t FCapacity = 0;
};

}  // namespace lumora
