// While a document is written, every node writes its text to the stream as
// UTF-16 code units, low byte first, with no terminator and no byte-order mark.
#pragma once

#include <bit>
#include <string_view>

#include "lumora/framework/stream.h"

namespace lumora {

void WriteWide(TStream& stream, std::u16string_view text);

// What WriteEscaped turns into references besides '&' and '<'.
enum TEscapes : unsigned {
  kEscapeQuotes = 1,  // '"', for attribute values
  kEscapeWhite = 2,   // tab, line feed and carriage return, which a reader of
                      // an attribute value would turn into spaces
};

// Writes text with '&' (where it does not begin a reference already), '<'
// and the characters of escapes replaced by references, in one pass.
void WriteEscaped(TStream& stream, std::u16string_view text, unsigned escapes);

}  // namespace lumora
