#include "lumora/text/string_buffer.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace lumora {

namespace {
constexpr int kGrowth = 1024;
}

TStringBuffer::TStringBuffer(int capacity) : FCapacity(capacity < 2 ? 2 : capacity) {
  FStorage.resize(static_cast<size_t>(FCapacity));
}

void TStringBuffer::StrCat(std::u16string_view text) {
  for (char16_t c : text) {
    if (c == 0) break;
    Cat(c);
  }
}

void TStringBuffer::Grow() {
  // The reported capacity grows in steps of 1024 units; the storage behind it
  // grows geometrically so that collecting a long text stays linear.
  if (FCapacity > INT_MAX - kGrowth) {
    --FPosition;  // the unit just stored does not fit; keep the buffer usable
    throw std::length_error("TStringBuffer: text too long");
  }
  FCapacity += kGrowth;
  const auto wanted = static_cast<size_t>(FCapacity);
  if (wanted > FStorage.capacity()) FStorage.reserve(std::max(wanted, FStorage.capacity() * 2));
  FStorage.resize(wanted);
}

}  // namespace lumora
