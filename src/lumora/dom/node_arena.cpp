#include "lumora/dom/node_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#ifdef LUMORA_ARENA_POISONS
#include <sanitizer/asan_interface.h>
#endif

namespace lumora {

#ifdef LUMORA_ARENA_POISONS
void TNodeArena::Poison(void* Memory, size_t Size) {
  ASAN_POISON_MEMORY_REGION(Memory, Size);
}

void TNodeArena::Unpoison(void* Memory, size_t Size) {
  ASAN_UNPOISON_MEMORY_REGION(Memory, Size);
}
#endif

namespace {

// Chunks start small, so that a small document stays small, and double up
// to this size. Chunks from kMappedChunk on come straight from the system,
// and those of a huge page's size are offered huge pages: a large tree then
// costs few page faults.
constexpr size_t kFirstChunk = 4096 - 64;
constexpr size_t kLargestChunk = size_t{4} << 20;
constexpr size_t kMappedChunk = size_t{256} << 10;
constexpr size_t kHugePage = size_t{2} << 20;

// Large chunks of arenas that ended, kept for the next arena of this thread
// (up to kCachedBytes): a program that parses document after document then
// reuses pages that are already there instead of taking fresh ones from the
// system, each costing a page fault and a clearing. The kernel may take the
// pages back under memory pressure (MADV_FREE); what remains is unmapped when
// the thread ends.
//
// The cache itself is plain data, valid for the thread's whole life: a
// document destroyed after the thread's objects (a static one, at exit)
// finds it closed and unmaps its chunks at once.
constexpr size_t kCachedBytes = size_t{64} << 20;
constexpr size_t kCachedChunks = kCachedBytes / kMappedChunk;

struct TChunkCache {
  std::pair<void*, size_t> Chunks[kCachedChunks];
  size_t Count;
  size_t Bytes;
  bool Closed;
};
thread_local constinit TChunkCache tChunkCache{};

// Unmaps what the cache holds when the thread ends, and closes it.
struct TChunkCacheCloser {
  ~TChunkCacheCloser() {
    for (size_t i = 0; i < tChunkCache.Count; ++i)
      munmap(tChunkCache.Chunks[i].first, tChunkCache.Chunks[i].second);
    tChunkCache.Count = tChunkCache.Bytes = 0;
    tChunkCache.Closed = true;
  }
};

// A cached chunk of at least Size bytes, or nil; Size is set to its size.
void* TakeCachedChunk(size_t& Size) {
  TChunkCache& cache = tChunkCache;
  for (size_t i = 0; i < cache.Count; ++i) {
    if (cache.Chunks[i].second < Size) continue;
    void* memory = cache.Chunks[i].first;
    Size = cache.Chunks[i].second;
    cache.Bytes -= Size;
    cache.Chunks[i] = cache.Chunks[--cache.Count];
    return memory;
  }
  return nullptr;
}

// False when the cache is full or closed: the caller unmaps the chunk.
bool KeepChunk(void* Memory, size_t Size) {
  TChunkCache& cache = tChunkCache;
  if (cache.Closed || cache.Count == kCachedChunks || cache.Bytes + Size > kCachedBytes)
    return false;
  thread_local TChunkCacheCloser closer;  // registered with the first chunk kept
  cache.Chunks[cache.Count++] = {Memory, Size};
  cache.Bytes += Size;
#ifdef MADV_FREE
  madvise(Memory, Size, MADV_FREE);
#endif
  return true;
}

// Names are few and short: their length and three of their characters tell
// them apart well enough, at a cost that does not grow with the name.
uint64_t HashName(std::u16string_view name) {
  const size_t n = name.size();
  const uint64_t key = (uint64_t{n} << 48) ^ (uint64_t{name[0]} << 32) ^
                       (uint64_t{name[n / 2]} << 16) ^ name[n - 1];
  return (key * 0x9E3779B97F4A7C15ull) >> 17;
}

// Names are short: compared eight bytes at a time inline, not through a call.
bool SameName(const std::u16string& a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  const char* p = reinterpret_cast<const char*>(a.data());
  const char* q = reinterpret_cast<const char*>(b.data());
  const size_t bytes = b.size() * sizeof(char16_t);
  size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, p + i, 8);
    std::memcpy(&y, q + i, 8);
    if (x != y) return false;
  }
  for (; i < bytes; i += 2) {
    uint16_t x, y;
    std::memcpy(&x, p + i, 2);
    std::memcpy(&y, q + i, 2);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

TNodeArena* TNodeArena::Create() {
  auto* arena = new TNodeArena();
  arena->FNextChunk = kFirstChunk;
  return arena;
}

TNodeArena::~TNodeArena() {
  for (TName* name : FNames) delete name;
  for (const TChunk& chunk : FChunks) {
    Unpoison(chunk.Memory, chunk.Size);
    if (!chunk.Mapped)
      std::free(chunk.Memory);
    else if (!KeepChunk(chunk.Memory, chunk.Size))
      munmap(chunk.Memory, chunk.Size);
  }
}

void TNodeArena::Destroy() {
  delete this;
}

void* TNodeArena::NewChunk(size_t Size) {
  size_t size = std::max(FNextChunk, Size);
  FNextChunk = std::min(FNextChunk * 2, kLargestChunk);
  void* memory = nullptr;
  bool mapped = false;
  if (size >= kMappedChunk) {
    mapped = true;
    memory = TakeCachedChunk(size);
    if (!memory) {
      memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (memory == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
      if (size >= kHugePage) madvise(memory, size, MADV_HUGEPAGE);
#endif
    }
  } else {
    memory = std::malloc(size);
    if (!memory) throw std::bad_alloc();
  }
  try {
    FChunks.push_back({memory, size, mapped});
  } catch (...) {
    if (mapped)
      munmap(memory, size);
    else
      std::free(memory);
    throw;
  }
  FReserved += size;
  Poison(memory, size);
  FCursor = static_cast<char*>(memory);
  FEnd = FCursor + size;
  return memory;
}

const std::u16string* TNodeArena::Intern(std::u16string_view Name) {
  if (Name.empty()) return EmptyName();
  const uint64_t hash = HashName(Name);
  if (2 * (FNameCount + 1) > FNames.size()) GrowNames();
  const size_t mask = FNames.size() - 1;
  size_t i = hash & mask;
  for (; FNames[i]; i = (i + 1) & mask) {
    TName* name = FNames[i];
    if (name->Hash == hash && SameName(*name, Name)) {
      ++FRefs;
      return name;
    }
  }
  FNames[i] = new TName(Name, this, hash);
  ++FNameCount;
  FReserved += sizeof(TName) + Name.size() * sizeof(char16_t);
  ++FRefs;
  return FNames[i];
}

void TNodeArena::GrowNames() {
  std::vector<TName*> names(std::max<size_t>(64, FNames.size() * 2), nullptr);
  const size_t mask = names.size() - 1;
  for (TName* name : FNames) {
    if (!name) continue;
    size_t i = name->Hash & mask;
    while (names[i]) i = (i + 1) & mask;
    names[i] = name;
  }
  FNames.swap(names);
}

void TNodeArena::SetCheckedName(const std::u16string* Name) {
  const auto* name = static_cast<const TName*>(Name);
  if (name->Arena) const_cast<TName*>(name)->Checked = true;
}

const std::u16string* TNodeArena::EmptyName() {
  static const TName empty(u"", nullptr, 0);
  return &empty;
}

}  // namespace lumora
