// How the input buffer starts on an external DTD or entity: XML's rules for
// text that need not begin with a declaration.
#include "lumora/lex/input_buffer.h"
#include "lumora/lex/transcoding_stream.h"

namespace lumora {

void TInputBuffer::InitExternal(TStream& stream, const std::string& fileName) {
  FFileName = fileName;
  const TEncoding transcoded = TranscodedEncoding(stream, n_sup);
  if (transcoded != n_sup) {
    Init(std::make_unique<TTranscodingStream>(stream, transcoded, fileName));
    FTranscoded = true;
    return;
  }
  Init(stream);
  if (FTwoByte || FUtf8Mark) return;
  // Markup starts with "<"; in UTF-16 without a mark its other byte is 0. A
  // text that starts with a NUL byte is no UTF-8 either.
  const uint8_t* const d = FData.get();
  if (FLength[0] >= 2 && ((d[0] == '<' && d[1] == 0) || (d[0] == 0 && d[1] == '<'))) {
    FTwoByte = true;
    FByteOrder = d[0] == 0 ? boBigEndian : boLittleEndian;
    FEncoding = UTF_16;
  } else {
    FEncoding = UTF_8;
  }
  UpdateMode();
}

}  // namespace lumora
