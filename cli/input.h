// One input document, read in blocks as the parser asks for them: a file
// opened once by name (never again), or standard input. Every byte is taken
// from the system once, so the input is never held whole beside the tree,
// and a document refused early costs only what was read up to there.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "lumora/framework/stream.h"

namespace lumora::cli {

// An input that cannot be read; the message is the system's reason.
class EInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TInputStream : public TStream {
 public:
  // The first bytes are kept: the parser looks at the head of its input and
  // starts again from the beginning once it knows the encoding, which a
  // pipe could not do otherwise.
  static constexpr int64_t kHeadBytes = 64 * 1024;

  // Opens file; "-" is standard input. Raises EInputError.
  explicit TInputStream(const std::string& file);
  ~TInputStream() override;
  TInputStream(const TInputStream&) = delete;
  TInputStream& operator=(const TInputStream&) = delete;

  // Raises EInputError when the system cannot read. Once the end is seen,
  // a pipe or terminal is not read (and waited on) again.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* /*buffer*/, int64_t /*count*/) override { return 0; }
  // Moves back within the kept head, or anywhere in a regular file; -1
  // otherwise. The end of a regular file is its size when it was opened;
  // that of a pipe is not known (-1).
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Raises EWriteError: an input is not resized.
  void SetSize(int64_t newSize) override;

  // The size when opened; -1 when not known (a pipe, a terminal).
  int64_t Total() const { return FTotal; }
  // Called after each read from the system with the bytes read so far.
  void SetOnRead(std::function<void(int64_t)> onRead) { FOnRead = std::move(onRead); }

 private:
  int FFd = -1;
  bool FSeekable = false;
  bool FEnd = false;        // the system reported the end
  int64_t FTotal = -1;
  int64_t FPosition = 0;    // of the next byte Read delivers
  int64_t FSystemPos = 0;   // of the next byte the descriptor gives
  std::string FHead;        // bytes [0, size) of the input
  std::function<void(int64_t)> FOnRead;
};

}  // namespace lumora::cli
