// The text of an external parsed entity, as it is stored in its
// declaration: decoded, line ends read as line feeds, and its text
// declaration checked and left out.
#pragma once

#include <string>

namespace lumora {

class TKaXMLDocument;
class TStream;

// Decodes the entity in Stream, read from Location (named in errors):
// by its byte-order mark, else the encoding its text declaration names,
// else as UTF-8 (see TInputBuffer::InitExternal). The text declaration is
// read with the syntax of Document's parser. Raises EKaOrvaneError with
// Location, line and column for a malformed text declaration and for what
// is no XML character or not valid in the encoding.
std::u16string ReadExternalText(TStream& Stream, const std::string& Location,
                                TKaXMLDocument* Document);

}  // namespace lumora
