// XML 1.0 character classes on single UTF-16 code units, name checks on
// whole strings, and the predefined references used on output.
//
// Every test looks at one code unit: surrogates are never accepted, so no
// character above U+FFFF belongs to any class. Names admit neither combining
// characters nor extenders.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

class TStrings;

namespace char_class {
// Bits of the per-code-unit class table.
enum : uint8_t {
  kChar = 1 << 0,
  kLetter = 1 << 1,
  kDigit = 1 << 2,
  kWhite = 1 << 3,
  kFirstNameChar = 1 << 4,
  kNameChar = 1 << 5,
  kPubidChar = 1 << 6,
  kHexDigit = 1 << 7,
};
// One byte of class bits for every code unit 0..0xFFFF, computed at compile
// time from the range lists of XML 1.0 Appendix B.
extern const std::array<uint8_t, 0x10000> kTable;
inline bool Has(char16_t c, uint8_t bits) {
  return (kTable[c] & bits) != 0;
}
}  // namespace char_class

inline bool IsChar(char16_t c) {
  return char_class::Has(c, char_class::kChar);
}
inline bool IsLetter(char16_t c) {
  return char_class::Has(c, char_class::kLetter);
}
inline bool IsDigit(char16_t c) {
  return char_class::Has(c, char_class::kDigit);
}
inline bool IsAlphaNum(char16_t c) {
  return IsDigit(c) || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
inline bool IsWhite(char16_t c) {
  return char_class::Has(c, char_class::kWhite);
}
// Text of XML white space alone (empty text included).
inline bool IsWhiteText(std::u16string_view text) {
  for (char16_t c : text)
    if (!IsWhite(c)) return false;
  return true;
}
inline bool IsFirstNameChar(char16_t c) {
  return char_class::Has(c, char_class::kFirstNameChar);
}
inline bool IsNameChar(char16_t c) {
  return char_class::Has(c, char_class::kNameChar);
}
inline bool IsPubidChar(char16_t c) {
  return char_class::Has(c, char_class::kPubidChar);
}
inline bool IsRightBracket(char16_t c) {
  return c == u'-' || c == u'/' || c == u'>' || c == u'?' || c == u']';
}
inline bool IsDataChar(char16_t c) {
  return c != u'<' && IsChar(c);
}
inline bool IsHexDigit(char16_t c) {
  return char_class::Has(c, char_class::kHexDigit);
}

// Name (production 5) and Nmtoken (production 7).
bool IsValidName(std::u16string_view name);
bool IsValidToken(std::u16string_view token);
// Space-separated lists of names or tokens; each word is appended to list
// (as UTF-8) when one is given. See the notes in the source on empty values.
bool AreValidNames(std::u16string_view value, TStrings* list);
bool AreValidTokens(std::u16string_view value, TStrings* list);
// A processing-instruction target: a name, and not "xml" in any case.
bool IsValidPIData(std::u16string_view target);

// count spaces; empty for a count of 0 or less.
std::u16string LeadWhite(int count);
// Replaces each occurrence of ch by its predefined reference. An '&' that
// begins a reference already ("&amp;", "&name;", "&#65;", "&#x41;") is kept;
// every '<', '>', '"' and '\'' is replaced. A character other than those five
// is removed.
std::u16string CharToReference(std::u16string_view text, char16_t ch);
// Whether the '&' at text[amp] begins a complete reference (&name;, &#1;,
// &#x1;), which the replacements above leave as it is.
bool StartsReference(std::u16string_view text, size_t amp);
// The same for all five predefined characters.
std::u16string CharsToReference(std::u16string_view text);
// The value of a string of hexadecimal digits, last digit lowest; empty gives
// 0. Digits are not validated (see IsHexDigit): any XML digit counts with its
// decimal value, another unit as its code minus 48. Values beyond the range
// of int32_t saturate at INT32_MAX (or INT32_MIN).
int32_t HexStrToInt(std::u16string_view digits);

}  // namespace lumora
