// A growable accumulator of UTF-16 code units: the lexers collect every token
// in one, so `Cat` is one store, one increment and one comparison.
#pragma once

#include <string>

#include "lumora/framework/object.h"

namespace lumora {

class TStringBuffer : public TObject {
 public:
  // The capacity must be at least 2; smaller values are raised to 2.
  explicit TStringBuffer(int capacity);

  void Cat(char16_t c) {
    FStorage[static_cast<size_t>(FPosition - 1)] = c;
    if (++FPosition == FCapacity) Grow();
  }
  // Appends the code units of text up to its first U+0000.
  void StrCat(std::u16string_view text);
  // A copy of what was collected.
  std::u16string DataString() const {
    return std::u16string(FStorage.data(), static_cast<size_t>(FPosition - 1));
  }
  std::u16string_view View() const {
    return std::u16string_view(FStorage.data(), static_cast<size_t>(FPosition - 1));
  }
  int Length() const { return FPosition - 1; }
  void Clear() {
    FPosition = 1;
    ++FClears;
  }
  // How often Clear was called: lets an index kept beside the buffer notice
  // that the text was dropped.
  unsigned ClearCount() const { return FClears; }

  int GetCapacity() const { return FCapacity; }
  int GetPosition() const { return FPosition; }

 private:
  void Grow();

  std::u16string FStorage;  // its size is the capacity
  int FCapacity;
  int FPosition = 1;  // 1-based index of the next code unit
  unsigned FClears = 0;
};

}  // namespace lumora
