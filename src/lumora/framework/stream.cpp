#include "lumora/framework/stream.h"

#include <algorithm>
#include <cstring>

namespace lumora {
namespace {

// Reading and seeking in bytes held in memory, from position.
int64_t ReadBytes(std::string_view bytes, int64_t& position, void* buffer, int64_t count) {
  const int64_t size = static_cast<int64_t>(bytes.size());
  if (count <= 0 || position >= size) return 0;
  const int64_t n = std::min(count, size - position);
  std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(n));
  position += n;
  return n;
}

int64_t SeekBytes(size_t size, int64_t& position, int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position;
  if (origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(size);
  if (base + offset < 0) return -1;
  position = base + offset;
  return position;
}

}  // namespace

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  char block[65536];
  int64_t copied = 0;
  while (copied < count) {
    const int64_t want = std::min<int64_t>(count - copied, sizeof block);
    const int64_t got = source.Read(block, want);
    if (got <= 0) break;
    const int64_t put = Write(block, got);
    copied += put;
    if (put < got) break;
  }
  return copied;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  return ReadBytes(FData, FPosition, buffer, count);
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (FPosition == static_cast<int64_t>(FData.size())) {
    // Writing at the end, as writers do: append without filling first.
    FData.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    FPosition += count;
    return count;
  }
  const size_t end = static_cast<size_t>(FPosition + count);
  if (end > FData.size()) FData.resize(end);
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  return SeekBytes(FData.size(), FPosition, offset, origin);
}

void TMemoryStream::SetSize(int64_t newSize) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(newSize, 0)));
  FPosition = std::min(FPosition, static_cast<int64_t>(FData.size()));
}

int64_t TByteViewStream::Read(void* buffer, int64_t count) {
  return ReadBytes(FBytes, FPosition, buffer, count);
}

int64_t TByteViewStream::Seek(int64_t offset, TSeekOrigin origin) {
  return SeekBytes(FBytes.size(), FPosition, offset, origin);
}

void TByteViewStream::SetSize(int64_t /*newSize*/) {
  throw EWriteError("A stream over bytes it does not own cannot change its size");
}

}  // namespace lumora
