#include "lumora/io/encoded_output.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lumora/framework/utf8.h"
#include "lumora/text/conversions.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

namespace {

// How much iconv gets at once: its output goes through a string of its own.
constexpr size_t kIconvPiece = 8192;

// Characters 1..0x7F stand for themselves in UTF-8: one comparison.
bool IsAsciiNotNul(char16_t c) {
  return static_cast<char16_t>(c - 1) < 0x7F;
}

// The encoders of the buffer's kinds: each writes text, which has room, at
// to and returns the end of what it wrote. U+0000 becomes '_', recorded.

char* EncodeUtf8(char* to, std::u16string_view text) {
  const char16_t* const units = text.data();
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
#if defined(__SSE2__)
    if (size - i >= 8) {
      // Eight characters 1..0x7F at a time: each unit becomes its low byte.
      const __m128i zero = _mm_setzero_si128(), limit = _mm_set1_epi16(0x80);
      for (; i + 8 <= size; i += 8, to += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        // Signed: units from 0x8000 are below zero.
        const __m128i ascii = _mm_and_si128(_mm_cmpgt_epi16(v, zero), _mm_cmplt_epi16(v, limit));
        if (_mm_movemask_epi8(ascii) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(v, v));
      }
      if (i == size) break;
    }
#endif
    uint32_t c = units[i++];
    if (IsAsciiNotNul(static_cast<char16_t>(c))) {
      *to++ = static_cast<char>(c);
      continue;
    }
    if (c == 0) {
      RecordInvChar(u'\0');
      *to++ = '_';
    } else if (c < 0x800) {
      *to++ = static_cast<char>(0xC0 | (c >> 6));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (IsHighSurrogate(static_cast<char16_t>(c)) && i < size && IsLowSurrogate(units[i])) {
      c = CombineSurrogates(static_cast<char16_t>(c), units[i++]);
      *to++ = static_cast<char>(0xF0 | (c >> 18));
      *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      // A surrogate alone is written in its three-byte form, as the
      // system conversion writes it.
      *to++ = static_cast<char>(0xE0 | (c >> 12));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return to;
}

char* EncodeUtf16(char* to, std::u16string_view text, bool big) {
  if (big == (std::endian::native == std::endian::big)) {
    // In the order of memory: the text itself, U+0000 aside.
    for (size_t nul; (nul = text.find(u'\0')) != std::u16string_view::npos;) {
      std::memcpy(to, text.data(), 2 * nul);
      RecordInvChar(u'\0');
      const char16_t underscore = u'_';
      std::memcpy(to + 2 * nul, &underscore, 2);
      to += 2 * (nul + 1);
      text.remove_prefix(nul + 1);
    }
    std::memcpy(to, text.data(), 2 * text.size());
    return to + 2 * text.size();
  }
  for (char16_t c : text) {
    if (c == 0) {
      RecordInvChar(u'\0');
      c = u'_';
    }
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    *to++ = big ? hi : lo;
    *to++ = big ? lo : hi;
  }
  return to;
}

char* EncodeTable(char* to, std::u16string_view text, TEncoding encoding) {
  for (const char16_t c : text) {
    if (static_cast<char16_t>(c - 1) < 0x7E) {
      *to++ = static_cast<char>(c);
    } else if (c == 0) {
      RecordInvChar(u'\0');
      *to++ = '_';
    } else {
      *to++ = IChr(c, encoding);
    }
  }
  return to;
}

}  // namespace

TEncodedOutput::TEncodedOutput(TStream& target, TEncoding encoding, TByteOrder order,
                               size_t bufferSize)
    : FTarget(target),
      FEncoding(encoding),
      FOrder(order),
      FCapacity(std::max(bufferSize, kMinBufferSize)) {
  if (encoding == UTF_8) {
    FKind = TKind::kUtf8;
    FWidth = 3;
  } else if (encoding == UTF_16) {
    FKind = TKind::kUtf16;
    FWidth = 2;
  } else if (IsIconvEncoding(encoding)) {
    FKind = TKind::kIconv;
    FIconv = std::make_unique<TIconvEncoder>(encoding);
  } else {
    FKind = TKind::kTable;
  }
  FBuffer = std::make_unique<char[]>(FCapacity);
}

TEncodedOutput::~TEncodedOutput() = default;

void TEncodedOutput::SetSize(int64_t /*newSize*/) {
  throw EWriteError("Stream write error");
}

inline bool TEncodedOutput::EncodeWhole(std::u16string_view text) {
  if (FHighSurrogate || text.empty() || IsHighSurrogate(text.back()) ||
      text.size() * FWidth > FCapacity - FUsed)
    return false;
  char* const to = FBuffer.get() + FUsed;
  switch (FKind) {
    case TKind::kUtf8:
      FUsed += static_cast<size_t>(EncodeUtf8(to, text) - to);
      return true;
    case TKind::kUtf16:
      FUsed += static_cast<size_t>(EncodeUtf16(to, text, FOrder == boBigEndian) - to);
      return true;
    case TKind::kTable:
      FUsed += static_cast<size_t>(EncodeTable(to, text, FEncoding) - to);
      return true;
    default:
      return false;
  }
}

int64_t TEncodedOutput::Write(const void* buffer, int64_t count) {
  if (std::endian::native == std::endian::little && FOddByte < 0 && count > 0 && count % 2 == 0 &&
      reinterpret_cast<uintptr_t>(buffer) % alignof(char16_t) == 0) {
    WriteText(std::u16string_view(static_cast<const char16_t*>(buffer),
                                  static_cast<size_t>(count) / 2));
    return count;
  }
  return WriteBytes(buffer, count);
}

int64_t TEncodedOutput::WriteBytes(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  auto left = static_cast<size_t>(count);
  if (FOddByte >= 0) {
    const auto unit = static_cast<char16_t>(FOddByte | bytes[0] << 8);
    FOddByte = -1;
    WriteText(std::u16string_view(&unit, 1));
    ++bytes;
    --left;
  }
  const size_t units = left / 2;
  char16_t part[512];
  for (size_t done = 0; done < units;) {
    const size_t n = std::min(units - done, std::size(part));
    for (size_t i = 0; i < n; ++i) {
      const unsigned char* at = bytes + 2 * (done + i);
      part[i] = static_cast<char16_t>(at[0] | at[1] << 8);
    }
    WriteText(std::u16string_view(part, n));
    done += n;
  }
  if (left % 2) FOddByte = bytes[left - 1];
  return count;
}

void TEncodedOutput::WriteTextSlow(std::u16string_view text) {
  // The rest go into the buffer whole when they can.
  if (EncodeWhole(text)) return;
  WriteInParts(text);
}

void TEncodedOutput::WriteInParts(std::u16string_view text) {
  if (FHighSurrogate) {
    if (text.empty()) return;
    const char16_t pair[2] = {FHighSurrogate, text[0]};
    FHighSurrogate = 0;
    const bool paired = IsLowSurrogate(text[0]);
    Encode(std::u16string_view(pair, paired ? 2 : 1));
    if (paired) text.remove_prefix(1);
  }
  if (!text.empty() && IsHighSurrogate(text.back())) {
    FHighSurrogate = text.back();
    text.remove_suffix(1);
  }
  Encode(text);
}

void TEncodedOutput::Finish() {
  FOddByte = -1;  // half a unit is no character
  if (FHighSurrogate) {
    const char16_t high = FHighSurrogate;
    FHighSurrogate = 0;
    Encode(std::u16string_view(&high, 1));
  }
  if (FIconv) {
    ConvertIconvUnits();
    FIconv->Finish(FIconvBytes);
    Put(FIconvBytes);
    FIconvBytes.clear();
  }
  Flush();
}

void TEncodedOutput::Encode(std::u16string_view text) {
  if (FKind == TKind::kIconv) {
    EncodeIconv(text);
    return;
  }
  const size_t width = FWidth;
  while (!text.empty()) {
    if (FCapacity - FUsed < 2 * width) Flush();
    // A pair takes four bytes in UTF-8, never more than its two units' room.
    size_t n = std::min(text.size(), (FCapacity - FUsed) / width);
    if (n < text.size() && IsHighSurrogate(text[n - 1])) --n;
    const std::u16string_view part = text.substr(0, n);
    char* const to = FBuffer.get() + FUsed;
    char* end;
    switch (FKind) {
      case TKind::kUtf8:
        end = EncodeUtf8(to, part);
        break;
      case TKind::kUtf16:
        end = EncodeUtf16(to, part, FOrder == boBigEndian);
        break;
      default:
        end = EncodeTable(to, part, FEncoding);
        break;
    }
    FUsed += static_cast<size_t>(end - to);
    text.remove_prefix(n);
  }
}




void TEncodedOutput::EncodeIconv(std::u16string_view text) {
  // iconv costs much per call: the text is gathered into pieces of
  // kIconvPiece units first.
  while (!text.empty()) {
    const size_t nul = std::min(text.find(u'\0'), text.size());
    std::u16string_view part = text.substr(0, nul);
    while (!part.empty()) {
      size_t n = std::min(part.size(), kIconvPiece);
      if (n < part.size() && IsHighSurrogate(part[n - 1])) --n;
      FIconvUnits.append(part.substr(0, n));
      part.remove_prefix(n);
      if (FIconvUnits.size() >= kIconvPiece) ConvertIconvUnits();
    }
    if (nul == text.size()) break;
    // The text before U+0000 and the '_' after it each end in the initial
    // shift state, as conversions of their own would.
    ConvertIconvUnits();
    RecordInvChar(u'\0');
    FIconv->Finish(FIconvBytes);
    FIconv->Append(u"_", FIconvBytes);
    FIconv->Finish(FIconvBytes);
    Put(FIconvBytes);
    FIconvBytes.clear();
    text.remove_prefix(nul + 1);
  }
}

void TEncodedOutput::ConvertIconvUnits() {
  if (FIconvUnits.empty()) return;
  FIconv->Append(FIconvUnits, FIconvBytes);
  FIconvUnits.clear();
  Put(FIconvBytes);
  FIconvBytes.clear();
}

void TEncodedOutput::Put(std::string_view bytes) {
  while (!bytes.empty()) {
    if (FUsed == FCapacity) Flush();
    const size_t n = std::min(bytes.size(), FCapacity - FUsed);
    std::memcpy(FBuffer.get() + FUsed, bytes.data(), n);
    FUsed += n;
    bytes.remove_prefix(n);
  }
}

void TEncodedOutput::Flush() {
  if (FUsed == 0) return;
  const auto size = static_cast<int64_t>(FUsed);
  FUsed = 0;
  if (FTarget.Write(FBuffer.get(), size) != size) throw EWriteError("Stream write error");
}

}  // namespace lumora
