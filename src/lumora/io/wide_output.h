// While a document is written, every node writes its text to the stream as
// UTF-16 code units, low byte first, with no terminator and no byte-order mark.
#pragma once

#include <bit>
#include <string_view>

#include "lumora/framework/stream.h"

namespace lumora {

void WriteWide(TStream& stream, std::u16string_view text);

}  // namespace lumora
