#include "lumora/text/conversions.h"

#include <algorithm>
#include <array>

#include "lumora/framework/sysutils.h"
#include "lumora/framework/utf8.h"
#include "lumora/text/iconv_encodings.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

namespace {

// The table row that encodes and decodes for an encoding (see the header for
// the encodings without a row of their own).
int RowOf(TEncoding encoding) {
  if (encoding >= i8859_1 && encoding <= US_ASCII) return encoding - i8859_1;
  if (encoding == UTF_16) return i8859_1 - i8859_1;
  return US_ASCII - i8859_1;
}

std::u16string_view Terminated(std::u16string_view text) {
  return text.substr(0, static_cast<size_t>(WLength(text)));
}

// For each row, the entries of bytes 0x80..0xFF as (unit, byte) pairs sorted
// by unit and then byte, so that a binary search finds the lowest byte.
struct ReverseRow {
  std::array<char16_t, 128> Units;
  std::array<uint8_t, 128> Bytes;
  int Count = 0;
};

const std::array<ReverseRow, kIsoRowCount>& ReverseRows() {
  static const std::array<ReverseRow, kIsoRowCount> rows = [] {
    std::array<ReverseRow, kIsoRowCount> built{};
    for (int r = 0; r < kIsoRowCount; ++r) {
      std::array<std::pair<char16_t, uint8_t>, 128> pairs{};
      int count = 0;
      for (int b = 0x80; b <= 0xFF; ++b) {
        if (iso[r][b] != 0) pairs[count++] = {iso[r][b], static_cast<uint8_t>(b)};
      }
      std::sort(pairs.begin(), pairs.begin() + count);
      built[r].Count = count;
      for (int i = 0; i < count; ++i) {
        built[r].Units[i] = pairs[i].first;
        built[r].Bytes[i] = pairs[i].second;
      }
    }
    return built;
  }();
  return rows;
}

}  // namespace

char16_t CharsToWideChar(char hi, char lo) {
  return static_cast<char16_t>(static_cast<unsigned char>(hi) << 8 |
                               static_cast<unsigned char>(lo));
}

char LoChar(char16_t c) {
  return static_cast<char>(c & 0xFF);
}
char HiChar(char16_t c) {
  return static_cast<char>(c >> 8);
}

char16_t UChr(char byte, TEncoding encoding) {
  const auto b = static_cast<unsigned char>(byte);
  const char16_t c = iso[RowOf(encoding)][b];
  if (c != 0) return c;
  RecordInvChar(b);
  return u'_';
}

char IChr(char16_t c, TEncoding encoding) {
  if (c < 0x7F) return static_cast<char>(c);
  const ReverseRow& row = ReverseRows()[static_cast<size_t>(RowOf(encoding))];
  const auto end = row.Units.begin() + row.Count;
  const auto found = std::lower_bound(row.Units.begin(), end, c);
  if (found != end && *found == c) return static_cast<char>(row.Bytes[found - row.Units.begin()]);
  RecordInvChar(c);
  return '_';
}

std::string WideCharToMB(char16_t c) {
  std::string out;
  AppendUtf8(out, c);
  return out;
}

std::string WideCharToMB(std::u16string_view text) {
  return WideToSystem(text);
}

int MBSequenceLength(char lead) {
  const auto b = static_cast<unsigned char>(lead);
  if ((b & 0xE0) == 0xC0) return 2;
  if ((b & 0xF0) == 0xE0) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 1;
}

char16_t MBToWideChar(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto b = static_cast<unsigned char>(bytes[0]);
  const int length = MBSequenceLength(bytes[0]);
  if (length == 4 || static_cast<size_t>(length) > bytes.size()) return b;
  const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]) & 0x3F; };
  switch (length) {
    case 2:
      return static_cast<char16_t>((b & 0x1F) << 6 | at(1));
    case 3:
      return static_cast<char16_t>((b & 0x0F) << 12 | at(1) << 6 | at(2));
    default:
      return b;
  }
}

TMBChar DecodeMBChar(std::string_view bytes) {
  TMBChar result;
  if (bytes.empty()) return result;
  const int length = MBSequenceLength(bytes[0]);
  uint32_t cp = 0;
  if (length == 4 && DecodeUtf8Strict(bytes, cp) == 4) {
    std::u16string pair;
    AppendUtf16(pair, cp);
    result.Bytes = 4;
    result.Units = 2;
    result.Unit[0] = pair[0];
    result.Unit[1] = pair[1];
    return result;
  }
  const bool whole = length <= 3 && static_cast<size_t>(length) <= bytes.size();
  result.Bytes = whole ? length : 1;
  result.Units = 1;
  result.Unit[0] = MBToWideChar(bytes.substr(0, static_cast<size_t>(result.Bytes)));
  return result;
}

std::u16string AnsiToUnicode(std::u16string_view text, TEncoding encoding) {
  if (encoding == UTF_8 || encoding == UTF_16) return std::u16string(text);
  text = Terminated(text);
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = UChr(LoChar(text[i]), encoding);
  return out;
}

std::u16string UnicodeToAnsi(std::u16string_view text, TEncoding encoding) {
  if (encoding == UTF_16) return std::u16string(text);
  text = Terminated(text);
  std::u16string out;
  if (encoding == UTF_8) {
    // Each byte widens to the unit of the same value.
    const std::string bytes = WideCharToMB(text);
    out.reserve(bytes.size());
    for (char b : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(b));
    return out;
  }
  out.reserve(text.size());
  for (char16_t c : text)
    out += static_cast<char16_t>(static_cast<unsigned char>(IChr(c, encoding)));
  return out;
}

std::string UnicodeToShort(std::u16string_view text, TEncoding encoding, TByteOrder order) {
  text = Terminated(text);
  std::string out;
  if (encoding == UTF_16) {
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
      if (order == boBigEndian) {
        out += HiChar(c);
        out += LoChar(c);
      } else {
        out += LoChar(c);
        out += HiChar(c);
      }
    }
    return out;
  }
  if (encoding == UTF_8) return WideCharToMB(text);
  if (IsIconvEncoding(encoding)) return IconvEncode(text, encoding);
  out.reserve(text.size());
  for (char16_t c : text) out += IChr(c, encoding);
  return out;
}

bool CanEncode(TEncoding encoding, uint32_t codePoint) {
  if (encoding == UTF_8 || encoding == UTF_16) return codePoint <= 0x10FFFF;
  if (IsIconvEncoding(encoding)) return IconvCanEncode(encoding, codePoint);
  if (codePoint < 0x7F) return true;  // as IChr, which writes U+007F as '_'
  if (codePoint > 0xFFFF) return false;
  const ReverseRow& row = ReverseRows()[static_cast<size_t>(RowOf(encoding))];
  const auto end = row.Units.begin() + row.Count;
  return std::binary_search(row.Units.begin(), end, static_cast<char16_t>(codePoint));
}

}  // namespace lumora
