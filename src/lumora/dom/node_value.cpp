#include "lumora/dom/node_value.h"

#include <cstring>
#include <utility>

#include "lumora/dom/node_arena.h"

namespace lumora {

uintptr_t TNodeValue::NewText(std::u16string_view Value, TNodeArena* Arena) {
  auto* text = static_cast<TText*>(Arena->Allocate(kTextHeader + Value.size() * sizeof(char16_t)));
  text->Arena = Arena;
  text->Length = static_cast<uint32_t>(Value.size());
  std::memcpy(text->Chars(), Value.data(), Value.size() * sizeof(char16_t));
  return reinterpret_cast<uintptr_t>(text);
}

void TNodeValue::FreeText(TText* Text) {
  Text->Arena->Deallocate(Text, kTextHeader + Text->Length * sizeof(char16_t));
}

void TNodeValue::Free() {
  if (FBits & kString) {
    if (TText* before = Made()->Before) FreeText(before);
    delete Made();
  } else if (FBits)
    FreeText(Text());
  FBits = 0;
}

std::u16string& TNodeValue::MakeString() {
  uintptr_t bits = Load();
  if (bits & kString) return reinterpret_cast<TMade*>(bits & ~kString)->String;
  auto* made = new TMade{std::u16string(View()), reinterpret_cast<TText*>(bits)};
  if (std::atomic_ref<uintptr_t>(FBits).compare_exchange_strong(
          bits, reinterpret_cast<uintptr_t>(made) | kString, std::memory_order_acq_rel,
          std::memory_order_acquire))
    return made->String;
  // Another reader made it first (the text is its Before now).
  delete made;
  return reinterpret_cast<TMade*>(bits & ~kString)->String;
}

void TNodeValue::Set(std::u16string_view Value, TNodeArena* Arena) {
  if (FBits & kString) {
    String()->assign(Value.data(), Value.size());
    return;
  }
  TNodeArena* arena = Arena ? Arena : ArenaOfText();
  uintptr_t bits = 0;
  if (Value.empty())
    bits = 0;
  else if (arena && FitsArena(Value.size()))
    bits = NewText(Value, arena);
  else
    bits = reinterpret_cast<uintptr_t>(new TMade{std::u16string(Value), nullptr}) | kString;
  // Value may be this value's own text: it is copied before that goes.
  Free();
  FBits = bits;
}

void TNodeValue::Set(std::u16string&& Value, TNodeArena* Arena) {
  if (FBits & kString) {
    *String() = std::move(Value);
    return;
  }
  TNodeArena* arena = Arena ? Arena : ArenaOfText();
  if (arena && FitsArena(Value.size())) {
    Set(std::u16string_view(Value), arena);
    return;
  }
  auto* made = new TMade{std::move(Value), nullptr};
  Free();
  FBits = reinterpret_cast<uintptr_t>(made) | kString;
}

TNodeValue& TNodeValue::operator=(const TNodeValue& Source) {
  if (this != &Source) Set(Source.View(), Source.ArenaOfText());
  return *this;
}

}  // namespace lumora
