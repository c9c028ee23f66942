#include "lumora/io/wide_output.h"

#include <cstdint>
#include <string>

#include "lumora/text/char_classes.h"

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

namespace {

// The reference that stands for c on output, or empty when c stands for itself.
std::u16string_view EscapeOf(char16_t c, unsigned escapes) {
  switch (c) {
    case u'&':
      return u"&amp;";
    case u'<':
      return u"&lt;";
    case u'"':
      return escapes & kEscapeQuotes ? u"&quot;" : u"";
    case u'\t':
      return escapes & kEscapeWhite ? u"&#9;" : u"";
    case u'\n':
      return escapes & kEscapeWhite ? u"&#10;" : u"";
    case u'\r':
      return escapes & kEscapeWhite ? u"&#13;" : u"";
    default:
      return u"";
  }
}

}  // namespace

void WriteEscaped(TStream& stream, std::u16string_view text, unsigned escapes) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c > u'<') continue;  // every character replaced is below it or it
    const std::u16string_view reference = EscapeOf(c, escapes);
    if (reference.empty() || (c == u'&' && StartsReference(text, i))) continue;
    WriteWide(stream, text.substr(start, i - start));
    WriteWide(stream, reference);
    start = i + 1;
  }
  WriteWide(stream, text.substr(start));
}

}  // namespace lumora
