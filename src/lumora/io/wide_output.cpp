#include "lumora/io/wide_output.h"

#include <cstdint>
#include <string>
#include <typeinfo>

#include "lumora/framework/utf8.h"
#include "lumora/io/encoded_output.h"
#include "lumora/text/conversions.h"

namespace lumora {

namespace {

// Any other stream gets the bytes: kept apart so that the way to a write's
// own output stays short.
[[gnu::noinline]] void WriteUnits(TStream& stream, std::u16string_view text) {
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

}  // namespace

void WriteWide(TStream& stream, std::u16string_view text) {
  // A write's own output takes the text as it is: no detour through bytes.
  if (typeid(stream) == typeid(TEncodedOutput))
    static_cast<TEncodedOutput&>(stream).WriteText(text);
  else
    WriteUnits(stream, text);
}

void WriteCharReference(TStream& stream, uint32_t codePoint) {
  char16_t text[12] = {u'&', u'#', u'x'};
  size_t length = 3;
  char16_t digits[8];
  size_t count = 0;
  do {
    digits[count++] = u"0123456789ABCDEF"[codePoint & 0xF];
    codePoint >>= 4;
  } while (codePoint);
  while (count) text[length++] = digits[--count];
  text[length++] = u';';
  WriteWide(stream, std::u16string_view(text, length));
}

namespace {

// The encodings that have a form for every character.
bool EncodesAll(TEncoding encoding) {
  return encoding == UTF_8 || encoding == UTF_16;
}

// The code point at text[i] that encoding cannot represent, with the units
// it takes in count; 0 when the encoding represents it, or when it is a
// surrogate without its partner (which no reference can stand for).
uint32_t UnencodableAt(std::u16string_view text, size_t i, TEncoding encoding, size_t& count) {
  const char16_t c = text[i];
  count = 1;
  uint32_t cp = c;
  if (IsHighSurrogate(c)) {
    if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return 0;
    cp = CombineSurrogates(c, text[i + 1]);
    count = 2;
  } else if (IsLowSurrogate(c)) {
    return 0;
  }
  return CanEncode(encoding, cp) ? 0 : cp;
}

// The reference that stands for text[i] on output, or empty when it stands
// for itself.
std::u16string_view EscapeOf(std::u16string_view text, size_t i, unsigned escapes) {
  switch (text[i]) {
    case u'&':
      return escapes & kKeepMarkup ? u"" : u"&amp;";
    case u'<':
      return escapes & kKeepMarkup ? u"" : u"&lt;";
    case u'>':
      // Only "]]>" needs it; at the start of the text the brackets may end
      // whatever was written before.
      return (escapes & kEscapeSectionEnd) && (i < 1 || text[i - 1] == u']') &&
                     (i < 2 || text[i - 2] == u']')
                 ? u"&gt;"
                 : u"";
    case u'"':
      return escapes & kEscapeQuotes ? u"&quot;" : u"";
    case u'\t':
      return escapes & kEscapeWhite ? u"&#9;" : u"";
    case u'\n':
      return escapes & kEscapeWhite ? u"&#10;" : u"";
    case u'\r':
      return escapes & (kEscapeWhite | kEscapeReturn) ? u"&#13;" : u"";
    default:
      return u"";
  }
}

}  // namespace

void WriteEscaped(TStream& stream, std::u16string_view text, unsigned escapes, TEncoding encoding) {
  size_t start = 0;
  auto replace = [&](size_t i, size_t count) {
    WriteWide(stream, text.substr(start, i - start));
    start = i + count;
  };
  // The characters below 64 that escapes may replace, one bit each.
  const uint64_t special = (escapes & kKeepMarkup ? 0 : (1ull << '&') | (1ull << '<')) |
                          (escapes & kEscapeSectionEnd ? 1ull << '>' : 0) |
                          (escapes & kEscapeQuotes ? 1ull << '"' : 0) |
                          (escapes & kEscapeWhite ? (1ull << '\t') | (1ull << '\n') : 0) |
                          (escapes & (kEscapeWhite | kEscapeReturn) ? 1ull << '\r' : 0);
  if (EncodesAll(encoding)) {
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c >= 64 || !(special >> c & 1)) continue;
      const std::u16string_view reference = EscapeOf(text, i, escapes);
      if (reference.empty()) continue;
      replace(i, 1);
      WriteWide(stream, reference);
    }
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      // '?' to U+007E stand for themselves in every encoding: one comparison.
      if (static_cast<char16_t>(c - u'?') < 0x7F - u'?') continue;
      if (c < 0x7F) {
        if (c >= 64 || !(special >> c & 1)) continue;
        const std::u16string_view reference = EscapeOf(text, i, escapes);
        if (reference.empty()) continue;
        replace(i, 1);
        WriteWide(stream, reference);
        continue;
      }
      size_t count;
      if (const uint32_t cp = UnencodableAt(text, i, encoding, count)) {
        replace(i, count);
        WriteCharReference(stream, cp);
      }
      i += count - 1;
    }
  }
  WriteWide(stream, text.substr(start));
}

void WriteCDataSection(TStream& stream, std::u16string_view data, TEncoding encoding) {
  // A "]]>" is split between its "]]" and its '>'; a character the encoding
  // lacks, and a carriage return, stand between two sections as references.
  // Splitting opens no empty section.
  const bool encodesAll = EncodesAll(encoding);
  size_t start = 0;
  bool written = false;  // a section or a reference is out already
  auto section = [&](size_t end, bool last = false) {
    if (end == start && (written || !last)) return;
    WriteWide(stream, u"<![CDATA[");
    WriteWide(stream, data.substr(start, end - start));
    WriteWide(stream, u"]]>");
    written = true;
  };
  for (size_t i = 0; i < data.size(); ++i) {
    const char16_t c = data[i];
    if (c == u'>' && i >= 2 && data[i - 1] == u']' && data[i - 2] == u']') {
      section(i);
      start = i;
      continue;
    }
    if (c == u'\r') {
      // A reader would turn it into a line feed.
      section(i);
      WriteWide(stream, u"&#13;");
      written = true;
      start = i + 1;
      continue;
    }
    if (c < 0x7F || encodesAll) continue;
    size_t count;
    if (const uint32_t cp = UnencodableAt(data, i, encoding, count)) {
      section(i);
      WriteCharReference(stream, cp);
      written = true;
      start = i + count;
    }
    i += count - 1;
  }
  section(data.size(), true);
}

}  // namespace lumora
