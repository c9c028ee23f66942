// While a document is written, every node writes its text to the stream as
// UTF-16 code units, low byte first, with no terminator and no byte-order mark.
#pragma once

#include <bit>
#include <string_view>

#include "lumora/framework/stream.h"
#include "lumora/text/code_pages.h"

namespace lumora {

void WriteWide(TStream& stream, std::u16string_view text);

// What WriteEscaped turns into references besides '&' and '<'.
enum TEscapes : unsigned {
  kEscapeQuotes = 1,      // '"', for attribute values
  kEscapeWhite = 2,       // tab, line feed and carriage return, which a reader of
                          // an attribute value would turn into spaces
  kEscapeReturn = 4,      // carriage return, which a reader of text would turn
                          // into a line feed
  kEscapeSectionEnd = 8,  // the '>' of "]]>", which text must not hold
  kKeepMarkup = 16,       // '&' and '<' stay: the text is escaped already, and
                          // only the characters the encoding lacks change
};

// Writes text with every '&', every '<' and the characters of escapes
// replaced by references, in one pass. Characters that encoding cannot
// represent become hexadecimal character references (a surrogate pair one
// reference of its code point); a surrogate without its partner is left for
// the final conversion to report.
void WriteEscaped(TStream& stream, std::u16string_view text, unsigned escapes, TEncoding encoding);

// Writes data as a CDATA section; a "]]>" in it, a carriage return and every
// character that encoding cannot represent close the section and open
// another, so that the data reads back unchanged.
void WriteCDataSection(TStream& stream, std::u16string_view data, TEncoding encoding);

// "&#xHEX;" for the code point.
void WriteCharReference(TStream& stream, uint32_t codePoint);

}  // namespace lumora
