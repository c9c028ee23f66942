// The UTF-8 form of code points: the one encoder and decoder that the
// system's default 8-bit conversion and the document encodings share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

// Appends the UTF-8 form of a code point below 0x110000. Surrogate code
// points are encoded like any other three-byte code point.
inline void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

inline bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}
inline uint32_t CombineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

// Appends a code point as UTF-16: one unit, or a surrogate pair above 0xFFFF.
inline void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

// Length of a well-formed UTF-8 sequence at the start of bytes, 0 when the
// sequence is malformed (bad lead, bad continuation, overlong, surrogate,
// above U+10FFFF or cut short). Its code point goes to cp.
size_t DecodeUtf8Strict(std::string_view bytes, uint32_t& cp);

}  // namespace lumora
