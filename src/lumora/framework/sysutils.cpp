#include "lumora/framework/sysutils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "lumora/framework/exception.h"
#include "lumora/framework/utf8.h"

namespace lumora {
namespace {

[[noreturn]] void BadFormat(std::string_view pattern) {
  throw EConvertError("Format '" + std::string(pattern) +
                      "' invalid or incompatible with argument");
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

int Sign(int difference) {
  return (difference > 0) - (difference < 0);
}

}  // namespace

std::string FormatList(std::string_view pattern, std::span<const FormatArg> args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      out += pattern[i];
      continue;
    }
    if (++i >= pattern.size()) BadFormat(pattern);
    if (pattern[i] == '%') {
      out += '%';
      continue;
    }
    const bool leftAlign = pattern[i] == '-';
    if (leftAlign) ++i;
    size_t width = 0, precision = 0;
    bool hasPrecision = false;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9')
      width = width * 10 + static_cast<size_t>(pattern[i++] - '0');
    if (i < pattern.size() && pattern[i] == '.') {
      hasPrecision = true;
      ++i;
      while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9')
        precision = precision * 10 + static_cast<size_t>(pattern[i++] - '0');
    }
    if (i >= pattern.size() || next >= args.size()) BadFormat(pattern);
    const FormatArg& arg = args[next++];
    std::string piece;
    switch (AsciiLower(pattern[i])) {
      case 's':
        if (!arg.IsText) BadFormat(pattern);
        piece = arg.Text;
        if (hasPrecision && piece.size() > precision) piece.resize(precision);
        break;
      case 'd': {
        if (arg.IsText) BadFormat(pattern);
        const bool negative = arg.Number < 0;
        std::string digits =
            std::to_string(negative ? -(arg.Number + 1) + 1ULL : arg.Number + 0ULL);
        if (digits.size() < precision) digits.insert(0, precision - digits.size(), '0');
        piece = negative ? "-" + digits : digits;
        break;
      }
      case 'x': {
        if (arg.IsText) BadFormat(pattern);
        static const char kHex[] = "0123456789ABCDEF";
        uint64_t value = static_cast<uint64_t>(arg.Number);
        if (arg.Number >= 0 && arg.Number <= 0xFFFFFFFFLL) value &= 0xFFFFFFFFULL;
        do {
          piece.insert(piece.begin(), kHex[value & 15]);
          value >>= 4;
        } while (value);
        if (piece.size() < precision) piece.insert(0, precision - piece.size(), '0');
        break;
      }
      default:
        BadFormat(pattern);
    }
    if (piece.size() < width) piece.insert(leftAlign ? piece.size() : 0, width - piece.size(), ' ');
    out += piece;
  }
  return out;
}

int CompareStr(std::string_view a, std::string_view b) {
  return Sign(a.compare(b));
}

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
    const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
}

std::string Trim(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return std::string(text.substr(first, last - first));
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string AnsiUpperCase(std::string_view text) {
  // Upper-cases ASCII letters and the Latin-1 letters of the UTF-8 text.
  std::u16string wide = SystemToWide(text);
  for (char16_t& c : wide) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 32;
  }
  return WideToSystem(wide);
}

int32_t StrToInt(std::string_view text) {
  const std::string source(text);
  auto fail = [&]() -> int32_t {
    throw EConvertError("'" + source + "' is not a valid integer value");
  };
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return fail();
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return fail();
    value = value * base + digit;
    if (value > 0xFFFFFFFFLL) return fail();
  }
  if (negative) value = -value;
  if (base == 16 && value > INT32_MAX)
    value -= 0x100000000LL;  // hexadecimal wraps like the framework
  if (value < INT32_MIN || value > INT32_MAX) return fail();
  return static_cast<int32_t>(value);
}

double Power(double base, double exponent) {
  return std::pow(base, exponent);
}

size_t DecodeUtf8Strict(std::string_view bytes, uint32_t& cp) {
  if (bytes.empty()) return 0;
  const auto lead = static_cast<unsigned char>(bytes[0]);
  size_t length;
  uint32_t min;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[k]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

std::string WideToSystem(std::u16string_view text) {
  // At most three bytes per code unit (a pair takes four for two units).
  std::string out(text.size() * 3, '\0');
  char* to = out.data();
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c < 0x80) {
      *to++ = static_cast<char>(c);
      continue;
    }
    if (IsHighSurrogate(static_cast<char16_t>(c)) && i + 1 < text.size() &&
        IsLowSurrogate(text[i + 1]))
      c = CombineSurrogates(static_cast<char16_t>(c), text[++i]);
    std::string bytes;
    AppendUtf8(bytes, c);
    for (char b : bytes) *to++ = b;
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return out;
}

std::u16string SystemToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  while (!text.empty()) {
    uint32_t cp = 0;
    size_t length = DecodeUtf8Strict(text, cp);
    if (length == 0) {
      cp = 0xFFFD;
      length = 1;
    }
    AppendUtf16(out, cp);
    text.remove_prefix(length);
  }
  return out;
}

bool FileExists(const std::string& fileName) {
  struct stat info;
  return !fileName.empty() && stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

int32_t FileRead(int handle, void* buffer, int32_t count) {
  if (count < 0) return -1;
  ssize_t n;
  do n = ::read(handle, buffer, static_cast<size_t>(count));
  while (n < 0 && errno == EINTR);
  return static_cast<int32_t>(n);
}

int32_t FileWrite(int handle, const void* buffer, int32_t count) {
  if (count < 0) return -1;
  const char* bytes = static_cast<const char*>(buffer);
  int32_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(handle, bytes + written, static_cast<size_t>(count - written));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return written > 0 ? written : -1;
    written += static_cast<int32_t>(n);
  }
  return written;
}

int64_t FileSeek(int handle, int64_t offset, int origin) {
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < 0 || origin > 2) return -1;
  return ::lseek(handle, offset, kWhence[origin]);
}

void Win32Check(bool ok) {
  if (ok) return;
  const int code = errno;
  throw EOSError("System Error.  Code: " + std::to_string(code) + ".\n" + std::strerror(code),
                 code);
}

}  // namespace lumora
