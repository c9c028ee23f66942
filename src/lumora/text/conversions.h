// Conversions between bytes and UTF-16 code units: the 8-bit encodings
// through their tables, UTF-8, and UTF-16 in either byte order.
//
// A byte or code unit that the encoding cannot represent becomes '_' and is
// recorded once in invChars(): a byte as its value 0..255, a code unit as
// itself. No conversion raises or stops.
//
// The encodings without a table row behave like one that has a row (only
// UnicodeToShort and CanEncode know the encodings that iconv converts):
// n_sup and UTF_8 like US_ASCII (bytes 0x01..0x7F stand for themselves, so
// the markup of a document in an unknown encoding still reads and every
// other byte is reported), UTF_16 like ISO-8859-1. A value outside the
// enumeration behaves like US_ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lumora/text/code_pages.h"

namespace lumora {

// hi * 256 + lo.
char16_t CharsToWideChar(char hi, char lo);
// The low and the high byte of a code unit.
char LoChar(char16_t c);
char HiChar(char16_t c);

// The code unit that byte stands for in encoding, or '_' (recorded).
char16_t UChr(char byte, TEncoding encoding);
// The byte that stands for c in encoding: c itself below 0x7F, otherwise the
// lowest byte 0x80..0xFF whose table entry is c; '_' (recorded) when none is.
// So U+007F always gives '_'.
char IChr(char16_t c, TEncoding encoding);

// The UTF-8 form of one code unit: one to three bytes. A surrogate alone is
// written in its three-byte form.
std::string WideCharToMB(char16_t c);
// The UTF-8 form of a text: a high surrogate followed by a low one becomes
// one four-byte sequence, every other unit its WideCharToMB form.
std::string WideCharToMB(std::u16string_view text);

// The code unit of the UTF-8 sequence at the start of bytes, decided by the
// first byte b: below 0x80 b itself; 110xxxxx two bytes; 1110xxxx three
// bytes; any other b (a continuation byte, 0xF0..0xFF) b itself. Continuation
// bytes are not checked and overlong forms are accepted. A sequence cut short
// by the end of bytes gives b itself; empty bytes give U+0000.
char16_t MBToWideChar(std::string_view bytes);

// How many bytes the UTF-8 sequence that starts with lead takes: 1, 2, 3, or
// 4 for the leads 0xF0..0xF4 of characters above U+FFFF.
int MBSequenceLength(char lead);

// One decoded UTF-8 sequence: Bytes bytes read, giving Units (1 or 2) code
// units in Unit. Bytes and Units are 0 only for empty input.
struct TMBChar {
  int Bytes = 0;
  int Units = 0;
  char16_t Unit[2] = {0, 0};
};
// Decodes the sequence at the start of bytes. A well-formed four-byte
// sequence (lead 0xF0..0xF4) gives its surrogate pair; everything else
// decodes as MBToWideChar does, taking the bytes that its lead announces,
// and a lead that announces more bytes than bytes holds, or a four-byte lead
// whose sequence is malformed, is taken alone as its own code unit. A reader
// that gets its input in pieces gathers MBSequenceLength(lead) bytes first.
TMBChar DecodeMBChar(std::string_view bytes);

// Lengths below are taken up to the first U+0000 of the text.

// UTF_8 and UTF_16: text unchanged. Otherwise the low byte of each unit
// decoded with UChr; the result has one unit per unit of text.
std::u16string AnsiToUnicode(std::u16string_view text, TEncoding encoding);
// The bytes of text in encoding, each byte stored as one code unit 0..255.
// UTF_16: text unchanged. UTF_8: the bytes of WideCharToMB(text).
// Otherwise IChr of each unit.
std::u16string UnicodeToAnsi(std::u16string_view text, TEncoding encoding);
// The bytes written for text in encoding: UTF_16 two bytes per unit in the
// given order, no byte-order mark; UTF_8 WideCharToMB(text); the encodings
// of iconv IconvEncode(text); otherwise IChr of each unit.
std::string UnicodeToShort(std::u16string_view text, TEncoding encoding, TByteOrder order);

// Whether encoding has a form for the code point (U+0000..U+10FFFF): the
// writer escapes or reports the characters for which it has none.
bool CanEncode(TEncoding encoding, uint32_t codePoint);

}  // namespace lumora
