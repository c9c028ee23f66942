// A node's value: one word. What the parser reads, and most values set
// once, are kept as text in the arena of the node's document, freed with it;
// a std::u16string is made only when someone asks for one (GetValue) or
// edits the value in place, and from then on the value stays that string,
// so that a reference handed out keeps seeing the value as it changes.
// As with a string, a view of the value stays valid until the value
// changes: making the string keeps the arena text until the value goes.
//
// Text in an arena holds a reference on it: a value never outlives the
// memory it points into, whichever document its node moves to.
//
// Reading stays safe from several threads at once, as with a string: the
// value's word is read atomically, and the string is made by whichever
// reader swaps it in first.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

class TNodeArena;

class TNodeValue {
 public:
  TNodeValue() = default;
  ~TNodeValue() {
    if (FBits) Free();
  }
  TNodeValue(const TNodeValue&) = delete;
  // A copy of Source's text, in Source's arena when it has one.
  TNodeValue& operator=(const TNodeValue& Source);

  std::u16string_view View() const {
    const uintptr_t bits = Load();
    if (bits & kString) return reinterpret_cast<const TMade*>(bits & ~kString)->String;
    if (!bits) return {};
    const auto* text = reinterpret_cast<const TText*>(bits);
    return {text->Chars(), text->Length};
  }
  operator std::u16string_view() const { return View(); }
  bool empty() const { return View().empty(); }
  size_t size() const { return View().size(); }

  // The value as a string, made now if it is arena text (see above).
  const std::u16string& Str() const {
    const uintptr_t bits = Load();
    return (bits & kString) ? reinterpret_cast<const TMade*>(bits & ~kString)->String
                            : const_cast<TNodeValue*>(this)->MakeString();
  }
  // The string to change in place.
  std::u16string& Edit() { return (FBits & kString) ? *String() : MakeString(); }

  // Replaces the text (which may be a part of the value itself). Text goes
  // to Arena when the value is not a string already and the text is short
  // enough for the arena to reuse its block; a nil Arena keeps it where the
  // value is (the arena of its current text, else a string).
  void Set(std::u16string_view Value, TNodeArena* Arena);
  // The same, taking Value's buffer when the value becomes a string.
  void Set(std::u16string&& Value, TNodeArena* Arena);
  TNodeValue& operator=(std::u16string_view Value) {
    Set(Value, nullptr);
    return *this;
  }
  TNodeValue& operator=(std::u16string&& Value) {
    Set(std::move(Value), nullptr);
    return *this;
  }

  // Whether Length units go to an arena: blocks beyond its reused sizes
  // would stay taken until the document ends, however often they were freed.
  static bool FitsArena(size_t Length) { return Length <= kMaxArenaLength; }

 private:
  // Arena text: its arena, its length, then the units.
  struct TText {
    TNodeArena* Arena;
    uint32_t Length;
    const char16_t* Chars() const {
      return reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(this) + kTextHeader);
    }
    char16_t* Chars() {
      return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(this) + kTextHeader);
    }
  };
  static constexpr size_t kTextHeader = sizeof(TNodeArena*) + sizeof(uint32_t);
  static constexpr size_t kMaxArenaLength = (512 - kTextHeader) / sizeof(char16_t);
  static constexpr uintptr_t kString = 1;
  // The string made, and the arena text it was made from (see above).
  struct TMade {
    std::u16string String;
    TText* Before;
  };

  uintptr_t Load() const {
    return std::atomic_ref<uintptr_t>(const_cast<uintptr_t&>(FBits)).load(std::memory_order_acquire);
  }
  TMade* Made() const { return reinterpret_cast<TMade*>(FBits & ~kString); }
  std::u16string* String() const { return &Made()->String; }
  TText* Text() const { return reinterpret_cast<TText*>(FBits); }
  TNodeArena* ArenaOfText() const { return (FBits & kString) || !FBits ? nullptr : Text()->Arena; }
  static uintptr_t NewText(std::u16string_view Value, TNodeArena* Arena);
  static void FreeText(TText* Text);
  std::u16string& MakeString();
  void Free();

  uintptr_t FBits = 0;  // nil: empty; kString set: a TMade; else arena text
};

}  // namespace lumora
