#include "lumora/text/char_classes.h"

#include <cmath>
#include <limits>

#include "lumora/framework/strings.h"
#include "lumora/framework/sysutils.h"
#include "lumora/text/string_buffer.h"
#include "lumora/text/wide_strings.h"

namespace lumora {

namespace char_class {
namespace {

struct Range {
  char16_t First;
  char16_t Last;
};

// XML 1.0 Appendix B, production 85 (BaseChar).
constexpr Range kBaseChar[] = {
    {0x0041, 0x005A}, {0x0061, 0x007A}, {0x00C0, 0x00D6}, {0x00D8, 0x00F6}, {0x00F8, 0x00FF},
    {0x0100, 0x0131}, {0x0134, 0x013E}, {0x0141, 0x0148}, {0x014A, 0x017E}, {0x0180, 0x01C3},
    {0x01CD, 0x01F0}, {0x01F4, 0x01F5}, {0x01FA, 0x0217}, {0x0250, 0x02A8}, {0x02BB, 0x02C1},
    {0x0386, 0x0386}, {0x0388, 0x038A}, {0x038C, 0x038C}, {0x038E, 0x03A1}, {0x03A3, 0x03CE},
    {0x03D0, 0x03D6}, {0x03DA, 0x03DA}, {0x03DC, 0x03DC}, {0x03DE, 0x03DE}, {0x03E0, 0x03E0},
    {0x03E2, 0x03F3}, {0x0401, 0x040C}, {0x040E, 0x044F}, {0x0451, 0x045C}, {0x045E, 0x0481},
    {0x0490, 0x04C4}, {0x04C7, 0x04C8}, {0x04CB, 0x04CC}, {0x04D0, 0x04EB}, {0x04EE, 0x04F5},
    {0x04F8, 0x04F9}, {0x0531, 0x0556}, {0x0559, 0x0559}, {0x0561, 0x0586}, {0x05D0, 0x05EA},
    {0x05F0, 0x05F2}, {0x0621, 0x063A}, {0x0641, 0x064A}, {0x0671, 0x06B7}, {0x06BA, 0x06BE},
    {0x06C0, 0x06CE}, {0x06D0, 0x06D3}, {0x06D5, 0x06D5}, {0x06E5, 0x06E6}, {0x0905, 0x0939},
    {0x093D, 0x093D}, {0x0958, 0x0961}, {0x0985, 0x098C}, {0x098F, 0x0990}, {0x0993, 0x09A8},
    {0x09AA, 0x09B0}, {0x09B2, 0x09B2}, {0x09B6, 0x09B9}, {0x09DC, 0x09DD}, {0x09DF, 0x09E1},
    {0x09F0, 0x09F1}, {0x0A05, 0x0A0A}, {0x0A0F, 0x0A10}, {0x0A13, 0x0A28}, {0x0A2A, 0x0A30},
    {0x0A32, 0x0A33}, {0x0A35, 0x0A36}, {0x0A38, 0x0A39}, {0x0A59, 0x0A5C}, {0x0A5E, 0x0A5E},
    {0x0A72, 0x0A74}, {0x0A85, 0x0A8B}, {0x0A8D, 0x0A8D}, {0x0A8F, 0x0A91}, {0x0A93, 0x0AA8},
    {0x0AAA, 0x0AB0}, {0x0AB2, 0x0AB3}, {0x0AB5, 0x0AB9}, {0x0ABD, 0x0ABD}, {0x0AE0, 0x0AE0},
    {0x0B05, 0x0B0C}, {0x0B0F, 0x0B10}, {0x0B13, 0x0B28}, {0x0B2A, 0x0B30}, {0x0B32, 0x0B33},
    {0x0B36, 0x0B39}, {0x0B3D, 0x0B3D}, {0x0B5C, 0x0B5D}, {0x0B5F, 0x0B61}, {0x0B85, 0x0B8A},
    {0x0B8E, 0x0B90}, {0x0B92, 0x0B95}, {0x0B99, 0x0B9A}, {0x0B9C, 0x0B9C}, {0x0B9E, 0x0B9F},
    {0x0BA3, 0x0BA4}, {0x0BA8, 0x0BAA}, {0x0BAE, 0x0BB5}, {0x0BB7, 0x0BB9}, {0x0C05, 0x0C0C},
    {0x0C0E, 0x0C10}, {0x0C12, 0x0C28}, {0x0C2A, 0x0C33}, {0x0C35, 0x0C39}, {0x0C60, 0x0C61},
    {0x0C85, 0x0C8C}, {0x0C8E, 0x0C90}, {0x0C92, 0x0CA8}, {0x0CAA, 0x0CB3}, {0x0CB5, 0x0CB9},
    {0x0CDE, 0x0CDE}, {0x0CE0, 0x0CE1}, {0x0D05, 0x0D0C}, {0x0D0E, 0x0D10}, {0x0D12, 0x0D28},
    {0x0D2A, 0x0D39}, {0x0D60, 0x0D61}, {0x0E01, 0x0E2E}, {0x0E30, 0x0E30}, {0x0E32, 0x0E33},
    {0x0E40, 0x0E45}, {0x0E81, 0x0E82}, {0x0E84, 0x0E84}, {0x0E87, 0x0E88}, {0x0E8A, 0x0E8A},
    {0x0E8D, 0x0E8D}, {0x0E94, 0x0E97}, {0x0E99, 0x0E9F}, {0x0EA1, 0x0EA3}, {0x0EA5, 0x0EA5},
    {0x0EA7, 0x0EA7}, {0x0EAA, 0x0EAB}, {0x0EAD, 0x0EAE}, {0x0EB0, 0x0EB0}, {0x0EB2, 0x0EB3},
    {0x0EBD, 0x0EBD}, {0x0EC0, 0x0EC4}, {0x0F40, 0x0F47}, {0x0F49, 0x0F69}, {0x10A0, 0x10C5},
    {0x10D0, 0x10F6}, {0x1100, 0x1100}, {0x1102, 0x1103}, {0x1105, 0x1107}, {0x1109, 0x1109},
    {0x110B, 0x110C}, {0x110E, 0x1112}, {0x113C, 0x113C}, {0x113E, 0x113E}, {0x1140, 0x1140},
    {0x114C, 0x114C}, {0x114E, 0x114E}, {0x1150, 0x1150}, {0x1154, 0x1155}, {0x1159, 0x1159},
    {0x115F, 0x1161}, {0x1163, 0x1163}, {0x1165, 0x1165}, {0x1167, 0x1167}, {0x1169, 0x1169},
    {0x116D, 0x116E}, {0x1172, 0x1173}, {0x1175, 0x1175}, {0x119E, 0x119E}, {0x11A8, 0x11A8},
    {0x11AB, 0x11AB}, {0x11AE, 0x11AF}, {0x11B7, 0x11B8}, {0x11BA, 0x11BA}, {0x11BC, 0x11C2},
    {0x11EB, 0x11EB}, {0x11F0, 0x11F0}, {0x11F9, 0x11F9}, {0x1E00, 0x1E9B}, {0x1EA0, 0x1EF9},
    {0x1F00, 0x1F15}, {0x1F18, 0x1F1D}, {0x1F20, 0x1F45}, {0x1F48, 0x1F4D}, {0x1F50, 0x1F57},
    {0x1F59, 0x1F59}, {0x1F5B, 0x1F5B}, {0x1F5D, 0x1F5D}, {0x1F5F, 0x1F7D}, {0x1F80, 0x1FB4},
    {0x1FB6, 0x1FBC}, {0x1FBE, 0x1FBE}, {0x1FC2, 0x1FC4}, {0x1FC6, 0x1FCC}, {0x1FD0, 0x1FD3},
    {0x1FD6, 0x1FDB}, {0x1FE0, 0x1FEC}, {0x1FF2, 0x1FF4}, {0x1FF6, 0x1FFC}, {0x2126, 0x2126},
    {0x212A, 0x212B}, {0x212E, 0x212E}, {0x2180, 0x2182}, {0x3041, 0x3094}, {0x30A1, 0x30FA},
    {0x3105, 0x312C}, {0xAC00, 0xD7A3},
};

// Production 86 (Ideographic).
constexpr Range kIdeographic[] = {
    {0x4E00, 0x9FA5},
    {0x3007, 0x3007},
    {0x3021, 0x3029},
};

// Production 88 (Digit).
constexpr Range kDigitRanges[] = {
    {0x0030, 0x0039}, {0x0660, 0x0669}, {0x06F0, 0x06F9}, {0x0966, 0x096F}, {0x09E6, 0x09EF},
    {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF}, {0x0B66, 0x0B6F}, {0x0BE7, 0x0BEF}, {0x0C66, 0x0C6F},
    {0x0CE6, 0x0CEF}, {0x0D66, 0x0D6F}, {0x0E50, 0x0E59}, {0x0ED0, 0x0ED9}, {0x0F20, 0x0F29},
};

// Production 2 (Char) within 16 bits.
constexpr Range kCharRanges[] = {
    {0x0009, 0x000A},
    {0x000D, 0x000D},
    {0x0020, 0xD7FF},
    {0xE000, 0xFFFD},
};

constexpr char16_t kPubidMarks[] = u" \n\r!#$%'()*+,-./:;=?@_";

template <size_t N>
constexpr void Mark(std::array<uint8_t, 0x10000>& table, const Range (&ranges)[N], uint8_t bits) {
  for (const Range& r : ranges) {
    for (uint32_t c = r.First; c <= r.Last; ++c) table[c] |= bits;
  }
}

constexpr std::array<uint8_t, 0x10000> Build() {
  std::array<uint8_t, 0x10000> table{};
  Mark(table, kCharRanges, kChar);
  // Names take letters, '_' and ':' first, then also digits, '.' and '-';
  // neither combining characters nor extenders.
  Mark(table, kBaseChar, kLetter | kFirstNameChar | kNameChar);
  Mark(table, kIdeographic, kLetter | kFirstNameChar | kNameChar);
  Mark(table, kDigitRanges, kDigit | kNameChar | kPubidChar | kHexDigit);
  for (char16_t c : {u'_', u':'}) table[c] |= kFirstNameChar | kNameChar;
  for (char16_t c : {u'.', u'-'}) table[c] |= kNameChar;
  for (char16_t c : {u'\t', u'\n', u'\r', u' '}) table[c] |= kWhite;
  for (char16_t c = u'A'; c <= u'F'; ++c) table[c] |= kHexDigit;
  for (char16_t c = u'a'; c <= u'f'; ++c) table[c] |= kHexDigit;
  // Of the letters only the ASCII ones, but every XML digit, are
  // public-identifier characters.
  for (char16_t c = u'A'; c <= u'Z'; ++c) table[c] |= kPubidChar;
  for (char16_t c = u'a'; c <= u'z'; ++c) table[c] |= kPubidChar;
  for (size_t i = 0; kPubidMarks[i] != 0; ++i) table[kPubidMarks[i]] |= kPubidChar;
  return table;
}

}  // namespace

extern constexpr std::array<uint8_t, 0x10000> kTable = Build();

}  // namespace char_class

namespace {

template <class Check>
bool AreValidWords(std::u16string_view value, TStrings* list, Check check) {
  const std::u16string trimmed = XMLTrim(value);
  std::u16string word;
  bool valid = true;
  for (char16_t c : trimmed) {
    if (c != u' ') {
      word += c;
      continue;
    }
    if (word.empty()) continue;
    valid = valid && check(word);
    if (list) list->Add(WideToSystem(word));
    word.clear();
  }
  // The last word is listed even when empty: an empty value adds one empty entry.
  if (list) list->Add(WideToSystem(word));
  return valid && check(word);
}

// The 1-based position of the first ';' at or after start, or 0 when an '&'
// or the end of the text comes first.
int ReferenceEnd(std::u16string_view text, int start) {
  for (int i = start; i <= static_cast<int>(text.size()); ++i) {
    const char16_t c = text[static_cast<size_t>(i - 1)];
    if (c == u';') return i;
    if (c == u'&') return 0;
  }
  return 0;
}

bool IsAsciiDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsAsciiHexDigit(char16_t c) {
  return IsAsciiDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// Whether body (the text between '&' and ';') is the body of an entity or
// character reference.
bool IsReferenceBody(std::u16string_view body) {
  if (body.empty() || body[0] != u'#') return IsValidName(body);
  body.remove_prefix(1);
  bool (*digit)(char16_t) = IsAsciiDigit;
  if (!body.empty() && body[0] == u'x') {
    body.remove_prefix(1);
    digit = IsAsciiHexDigit;
  }
  if (body.empty()) return false;
  for (char16_t c : body) {
    if (!digit(c)) return false;
  }
  return true;
}

// Whether the '&' at the 1-based position i begins a complete reference.
bool BeginsReference(std::u16string_view text, int i) {
  const int end = ReferenceEnd(text, i + 1);
  return end > i &&
         IsReferenceBody(text.substr(static_cast<size_t>(i), static_cast<size_t>(end - i - 1)));
}

std::u16string_view PredefinedReference(char16_t c) {
  switch (c) {
    case u'"':
      return u"&quot;";
    case u'&':
      return u"&amp;";
    case u'\'':
      return u"&apos;";
    case u'<':
      return u"&lt;";
    case u'>':
      return u"&gt;";
    default:
      return u"";
  }
}

bool IsPredefinedChar(char16_t c) {
  return c == u'"' || c == u'&' || c == u'\'' || c == u'<' || c == u'>';
}

template <class Replaced>
std::u16string ReplaceByReferences(std::u16string_view text, Replaced replaced) {
  TStringBuffer buffer(100);
  for (size_t k = 0; k < text.size(); ++k) {
    const char16_t c = text[k];
    if (!replaced(c) || (c == u'&' && BeginsReference(text, static_cast<int>(k) + 1))) {
      buffer.Cat(c);
    } else {
      for (char16_t r : PredefinedReference(c)) buffer.Cat(r);
    }
  }
  return buffer.DataString();
}

// The value of a hexadecimal digit; an XML digit outside ASCII counts with
// its decimal value.
int DigitValue(char16_t c) {
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c > 0x7F && IsDigit(c)) {
    for (const char_class::Range& r : char_class::kDigitRanges) {
      if (c >= r.First && c <= r.Last) return c - (r.Last - 9);
    }
  }
  return XMLOrd(c) - 48;
}

}  // namespace

bool IsValidName(std::u16string_view name) {
  if (name.empty() || !IsFirstNameChar(name[0])) return false;
  for (size_t i = 1; i < name.size(); ++i) {
    if (!IsNameChar(name[i])) return false;
  }
  return true;
}

bool IsValidToken(std::u16string_view token) {
  if (token.empty()) return false;
  for (char16_t c : token) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

bool AreValidNames(std::u16string_view value, TStrings* list) {
  return AreValidWords(value, list, IsValidName);
}

bool AreValidTokens(std::u16string_view value, TStrings* list) {
  return AreValidWords(value, list, IsValidToken);
}

bool IsValidPIData(std::u16string_view target) {
  // Only the emptiness test looks at the trimmed text: a blank at either end
  // makes the target invalid.
  if (XMLTrim(target).empty()) return false;
  if (XMLCompareText(target, u"XML") == 0) return false;
  return IsValidName(target);
}

std::u16string LeadWhite(int count) {
  return count > 0 ? std::u16string(static_cast<size_t>(count), u' ') : std::u16string();
}

bool StartsReference(std::u16string_view text, size_t amp) {
  return amp < text.size() && BeginsReference(text, static_cast<int>(amp) + 1);
}

std::u16string CharToReference(std::u16string_view text, char16_t ch) {
  return ReplaceByReferences(text, [ch](char16_t c) { return c == ch; });
}

std::u16string CharsToReference(std::u16string_view text) {
  return ReplaceByReferences(text, IsPredefinedChar);
}

int32_t HexStrToInt(std::u16string_view digits) {
  double result = 0;
  const size_t length = digits.size();
  for (size_t k = 0; k < length; ++k) {
    result += DigitValue(digits[length - 1 - k]) * Power(16, static_cast<double>(k));
  }
  constexpr auto kMax = std::numeric_limits<int32_t>::max();
  constexpr auto kMin = std::numeric_limits<int32_t>::min();
  if (std::isnan(result) || result >= static_cast<double>(kMax)) return kMax;
  if (result <= static_cast<double>(kMin)) return kMin;
  return static_cast<int32_t>(result);
}

}  // namespace lumora
