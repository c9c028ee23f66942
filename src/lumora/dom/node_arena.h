// Where a document's nodes live. Nodes are cut from large chunks and given
// back to lists of free blocks by size, so that building a tree costs no
// call to malloc per node and tearing it down none to free; the names of
// elements and attributes are kept once per arena.
//
// An arena is counted: its document holds one reference, every node cut
// from it another, and every node that uses one of its names a third. A
// node taken out of a document and kept by the caller keeps the arena
// alive, so it may outlive its document or move to another one. The counts
// are not atomic: an arena, like its document, is used by one thread at a
// time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_ARENA_POISONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMORA_ARENA_POISONS 1
#endif
#endif

namespace lumora {

class TNodeArena {
 public:
  // A new arena with one reference, the caller's.
  static TNodeArena* Create();
  TNodeArena(const TNodeArena&) = delete;
  TNodeArena& operator=(const TNodeArena&) = delete;

  void Retain() { ++FRefs; }
  // Frees the arena and all its chunks with the last reference.
  void Release() {
    if (--FRefs == 0) Destroy();
  }

  // A block of Size bytes (8-aligned); holds a reference until Deallocate.
  // Inline: every node and value of a parse passes here.
  void* Allocate(size_t Size) {
    Size = (Size + kGrain - 1) & ~(kGrain - 1);
    const size_t sizeClass = Size / kGrain - 1;
    void* block;
    if (sizeClass < kSizeClasses && FFree[sizeClass]) {
      TFreeBlock* free = FFree[sizeClass];
      FFree[sizeClass] = free->Next;
      block = free;
    } else {
      if (static_cast<size_t>(FEnd - FCursor) < Size) NewChunk(Size);
      block = FCursor;
      FCursor += Size;
    }
    Unpoison(block, Size);
    ++FRefs;
    return block;
  }
  void Deallocate(void* Block, size_t Size) {
    Size = (Size + kGrain - 1) & ~(kGrain - 1);
    const size_t sizeClass = Size / kGrain - 1;
    // A block of no known size (a constructor that raised) waits for the arena's end.
    if (FEnding) {
      if (Size > 0) Poison(Block, Size);
    } else if (Size > 0 && sizeClass < kSizeClasses) {
      auto* free = static_cast<TFreeBlock*>(Block);
      free->Next = FFree[sizeClass];
      FFree[sizeClass] = free;
      Poison(free + 1, Size - sizeof(TFreeBlock));
    }
    Release();
  }
  // The document ends: blocks given back from now on are not kept for
  // reuse, only counted, since few more will be cut.
  void EndReuse() { FEnding = true; }

  // An interned name: one string per distinct name, at a stable address,
  // with a reference to the arena that the caller gives back through
  // TNodeArena::ReleaseName.
  const std::u16string* Intern(std::u16string_view Name);
  static void ReleaseName(const std::u16string* Name) {
    if (TNodeArena* arena = static_cast<const TName*>(Name)->Arena) arena->Release();
  }
  // Whether an interned name was found to be an XML name (see TNodeName).
  static bool IsCheckedName(const std::u16string* Name) {
    return static_cast<const TName*>(Name)->Checked;
  }
  static void SetCheckedName(const std::u16string* Name);
  // The empty name, which belongs to no arena.
  static const std::u16string* EmptyName();

  // What the arena holds from the system (chunks and names), for tests.
  size_t ReservedBytes() const { return FReserved; }

 private:
  TNodeArena() = default;
  ~TNodeArena();
  void Destroy();
  void* NewChunk(size_t Size);
  // Under AddressSanitizer the arena marks what is not handed out, so that a
  // node used after it is destroyed is caught as it would be with malloc.
#ifdef LUMORA_ARENA_POISONS
  static void Poison(void* Memory, size_t Size);
  static void Unpoison(void* Memory, size_t Size);
#else
  static void Poison(void*, size_t) {}
  static void Unpoison(void*, size_t) {}
#endif
  void GrowNames();

  // An interned name: the string, where nodes point, and the arena that keeps it.
  struct TName : std::u16string {
    TName(std::u16string_view text, TNodeArena* arena, uint64_t hash)
        : std::u16string(text), Arena(arena), Hash(hash) {}
    TNodeArena* Arena;
    uint64_t Hash;
    bool Checked = false;  // never set on the shared empty name: it is no XML name
  };

  static constexpr size_t kGrain = 8;
  static constexpr size_t kSizeClasses = 64;  // blocks up to 512 bytes are reused
  struct TFreeBlock {
    TFreeBlock* Next;
  };
  struct TChunk {
    void* Memory;
    size_t Size;
    bool Mapped;
  };

  uint64_t FRefs = 1;
  bool FEnding = false;
  char* FCursor = nullptr;
  char* FEnd = nullptr;
  size_t FNextChunk;
  size_t FReserved = 0;
  TFreeBlock* FFree[kSizeClasses] = {};
  std::vector<TChunk> FChunks;
  // Open addressing on the name's hash; a power of two in size.
  std::vector<TName*> FNames;
  size_t FNameCount = 0;
};

}  // namespace lumora
