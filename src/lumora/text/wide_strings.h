// Elementary operations on wide strings, called through replaceable slots,
// and the buffer of characters that a conversion could not represent.
//
// Lengths count the code units before the first U+0000: a wide string is
// treated as zero-terminated text.
#pragma once

#include <string>
#include <string_view>

#include "lumora/text/string_buffer.h"

namespace lumora {

int WLength(std::u16string_view text);
// The longer string is greater; strings of equal length compare unit by
// unit as unsigned numbers. Returns -1, 0 or 1. ("b" < "aa".)
int WCompareStr(std::u16string_view a, std::u16string_view b);
// As WCompareStr, with ASCII letters compared without regard to case.
int WCompareText(std::u16string_view a, std::u16string_view b);
// Removes leading and trailing tab, line feed, carriage return and space.
std::u16string WTrim(std::u16string_view text);
// Upper-cases 'a'..'z'; every other unit is returned unchanged.
char16_t WUpCase(char16_t c);
// The position of the first c in text, or npos: four units at a time.
size_t FindUnit(std::u16string_view text, char16_t c);
// Copies zero-terminated source, terminator included; returns dest.
char16_t* WStrCopy(char16_t* dest, const char16_t* source);
// The code unit as an unsigned number.
inline int UOrd(char16_t c) {
  return static_cast<int>(c);
}

// The replaceable slots. They are filled before any code of the library runs;
// a host may replace any of them, and the library then follows the replacement.
using TXMLLengthFunc = int (*)(std::u16string_view);
using TXMLCompareFunc = int (*)(std::u16string_view, std::u16string_view);
using TXMLTrimFunc = std::u16string (*)(std::u16string_view);
using TXMLOrdFunc = int (*)(char16_t);
using TXMLCopyFunc = char16_t* (*)(char16_t*, const char16_t*);
using TXMLUpCaseFunc = char16_t (*)(char16_t);

extern TXMLLengthFunc XMLLength;
extern TXMLCompareFunc XMLCompareStr;
extern TXMLCompareFunc XMLCompareText;
extern TXMLTrimFunc XMLTrim;
extern TXMLOrdFunc XMLOrd;
extern TXMLCopyFunc XMLCopy;
extern TXMLUpCaseFunc XMLUpCase;

// Puts the library's own functions (WLength ...) into the seven slots.
void ResetXMLSlots();

// The distinct code units that conversions could not map, in the order first
// met. One buffer per thread, so that documents handled on different threads
// do not mix their reports.
TStringBuffer& invChars();

// True when the code unit is recorded in invChars(). Answers from an index
// of the buffer, so a conversion that meets many distinct unconvertible
// characters stays linear.
bool InvCharExists(char16_t c);
// Appends c to invChars() unless it is recorded already.
void RecordInvChar(char16_t c);
// "(0x0080), (0x20AC)": each unit of text in at least four upper-case hex digits.
std::string InvCharsToString(std::u16string_view text);

}  // namespace lumora
