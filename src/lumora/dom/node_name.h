// A node's name: one pointer. Names of nodes made for a document are kept
// once in the document's arena and shared; a node made without a document,
// and a name set through assignment, owns its own string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lumora/dom/node_arena.h"

namespace lumora {

class TNodeName {
 public:
  TNodeName() : FBits(reinterpret_cast<uintptr_t>(TNodeArena::EmptyName())) {}
  // Interned in Arena; owned when Arena is nil (the empty name is shared).
  TNodeName(std::u16string_view Name, TNodeArena* Arena) : FBits(Bits(Name, Arena)) {}
  ~TNodeName() { Reset(); }
  TNodeName(const TNodeName&) = delete;
  TNodeName& operator=(const TNodeName&) = delete;

  // Interned in Arena; owned when Arena is nil (the empty name is shared).
  void Assign(std::u16string_view Name, TNodeArena* Arena) {
    const uintptr_t bits = Bits(Name, Arena);
    Reset();
    FBits = bits;
  }
  TNodeName& operator=(std::u16string_view Name) {
    Assign(Name, nullptr);
    return *this;
  }

  const std::u16string& Str() const {
    return *reinterpret_cast<const std::u16string*>(FBits & ~kOwned);
  }
  operator const std::u16string&() const { return Str(); }
  operator std::u16string_view() const { return Str(); }
  bool empty() const { return Str().empty(); }
  // An interned name known to be an XML name: it was checked when first
  // given to a node that requires one.
  bool IsChecked() const { return !(FBits & kOwned) && TNodeArena::IsCheckedName(&Str()); }
  void SetChecked() const {
    if (!(FBits & kOwned)) TNodeArena::SetCheckedName(&Str());
  }
  size_t size() const { return Str().size(); }
  friend bool operator==(const TNodeName& a, std::u16string_view b) { return a.Str() == b; }
  friend std::u16string operator+(const TNodeName& a, std::u16string_view b) {
    return a.Str() + std::u16string(b);
  }

 private:
  static constexpr uintptr_t kOwned = 1;
  static uintptr_t Bits(std::u16string_view Name, TNodeArena* Arena) {
    if (Name.empty()) return reinterpret_cast<uintptr_t>(TNodeArena::EmptyName());
    if (Arena) return reinterpret_cast<uintptr_t>(Arena->Intern(Name));
    return reinterpret_cast<uintptr_t>(new std::u16string(Name)) | kOwned;
  }
  void Reset() {
    if (FBits & kOwned)
      delete reinterpret_cast<std::u16string*>(FBits & ~kOwned);
    else
      TNodeArena::ReleaseName(&Str());
  }
  uintptr_t FBits;
};

}  // namespace lumora
