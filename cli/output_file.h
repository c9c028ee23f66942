// A file written in place of OUT: a temporary file in OUT's folder, written
// through the descriptor that created it and renamed over OUT only once
// complete. A failed or interrupted write never leaves OUT cut short, nor a
// temporary file behind.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>

#include "lumora/framework/stream.h"

namespace lumora::cli {

// Writes to a descriptor; a write that fails keeps the system's reason.
class TDescriptorStream : public TStream {
 public:
  explicit TDescriptorStream(int fd = -1) : FFd(fd) {}
  void SetDescriptor(int fd) { FFd = fd; }

  // Writes all of buffer unless the system refuses; returns what was written.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* /*buffer*/, int64_t /*count*/) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;
  // errno of the first failed write, 0 when none failed.
  int Error() const { return FError; }

 private:
  int FFd;
  int FError = 0;
};

// Writes to a C++ stream (standard output); takes nothing once the stream
// has failed, which the command reports when it ends.
class TOstreamStream : public TStream {
 public:
  explicit TOstreamStream(std::ostream& out) : FOut(out) {}
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* /*buffer*/, int64_t /*count*/) override { return 0; }
  int64_t Seek(int64_t /*offset*/, TSeekOrigin /*origin*/) override { return -1; }
  void SetSize(int64_t /*newSize*/) override {}

 private:
  std::ostream& FOut;
};

// Takes every byte and keeps none: a write made only to learn what it
// cannot represent.
class TNullStream : public TStream {
 public:
  int64_t Write(const void* /*buffer*/, int64_t count) override { return count; }
  int64_t Read(void* /*buffer*/, int64_t /*count*/) override { return 0; }
  int64_t Seek(int64_t /*offset*/, TSeekOrigin /*origin*/) override { return -1; }
  void SetSize(int64_t /*newSize*/) override {}
};

// Raises EOutputError with the system's reason.
class EOutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TReplacementFile {
 public:
  // Creates the temporary file next to output (through a symbolic link,
  // next to the file it points to). While it exists, SIGINT, SIGTERM and
  // SIGHUP remove it before the process ends, and a write beyond the
  // file-size limit fails with EFBIG instead of killing the process.
  explicit TReplacementFile(const std::string& output);
  // Removes the temporary file unless Commit succeeded.
  ~TReplacementFile();
  TReplacementFile(const TReplacementFile&) = delete;
  TReplacementFile& operator=(const TReplacementFile&) = delete;

  TDescriptorStream& Stream() { return FStream; }
  // Gives the file OUT's permissions (a new file's when OUT is new), flushes
  // it and renames it over OUT. Raises EOutputError.
  void Commit();

 private:
  void Discard();

  std::string FTarget;
  std::string FTemporary;
  int FFd = -1;
  unsigned FPermissions = 0;
  TDescriptorStream FStream;
};

}  // namespace lumora::cli
