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
  void* Allocate(size_t Size);
  void Deallocate(void* Block, size_t Size);
  // The document ends: blocks given back from now on are not kept for
  // reuse, only counted, since few more will be cut.
  void EndReuse() { FEnding = true; }

  // An interned name: one string per distinct name, at a stable address,
  // with a reference to the arena that the caller gives back through
  // TNodeArena::ReleaseName.
  const std::u16string* Intern(std::u16string_view Name);
  static void ReleaseName(const std::u16string* Name);
  // Whether an interned name was found to be an XML name (see TNodeName).
  static bool IsCheckedName(const std::u16string* Name);
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
  void GrowNames();

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
  struct TName;

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
