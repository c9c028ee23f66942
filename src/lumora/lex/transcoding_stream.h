// Input in the encodings that iconv converts: read as UTF-16 through a
// stream that converts the original in blocks, as the input buffer asks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lumora/framework/stream.h"
#include "lumora/text/code_pages.h"

namespace lumora {

class TIconvConverter;

// The iconv encoding the document in stream is to be read in, or n_sup when
// the input buffer reads it itself. Looks at the first bytes only and leaves
// the stream at its beginning: the encoding declaration decides; without one
// (and without a byte-order mark) the fallback does, when it is given.
TEncoding TranscodedEncoding(TStream& stream, TEncoding fallback);

// Reads the bytes of source in an iconv encoding as UTF-16 in the byte order
// of the machine, after a byte-order mark. Seeking to the beginning starts
// over; no other seek is possible. A byte that does not decode raises
// EKaOrvaneError naming it, the encoding, fileName and its line.
class TTranscodingStream : public TStream {
 public:
  TTranscodingStream(TStream& source, TEncoding encoding, std::string fileName);
  ~TTranscodingStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t) override {}

 private:
  void Restart();
  // Converts more input into FOut; false at the end of the input.
  bool Produce();
  [[noreturn]] void RaiseBadByte(size_t at);

  TStream& FSource;
  const TEncoding FEncoding;
  const std::string FFileName;
  std::unique_ptr<TIconvConverter> FConverter;
  std::vector<char> FIn;   // input read, not converted yet: [FInStart, FInEnd)
  size_t FInStart = 0, FInEnd = 0;
  bool FSourceDone = false;
  std::vector<char> FOut;  // output converted, not delivered yet: [FOutStart, FOutEnd)
  size_t FOutStart = 0, FOutEnd = 0;
  int64_t FDelivered = 0;
  int32_t FLine = 1;       // of the first input byte not converted yet
};

}  // namespace lumora
