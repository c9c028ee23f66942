#include "lumora/io/wide_output.h"

#include <cstdint>
#include <string>

namespace lumora {

void WriteWide(TStream& stream, std::u16string_view text) {
  if (text.empty()) return;
  if constexpr (std::endian::native == std::endian::little) {
    stream.Write(text.data(), static_cast<int64_t>(text.size() * 2));
  } else {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>(c >> 8);
    }
    stream.WriteString(bytes);
  }
}

}  // namespace lumora
