// Byte streams: the abstract stream and the in-memory ones.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lumora/framework/exception.h"
#include "lumora/framework/object.h"

namespace lumora {

enum class TSeekOrigin : uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
 public:
  // Reads up to count bytes into buffer; returns how many were read.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes from buffer; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position, -1 when that fails.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t newSize) = 0;

  int64_t Size();
  int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Copies count bytes of source from its position; a count of 0 copies the
  // whole of source from its beginning. Returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);

  // Writes all of text, as ReadBuffer/WriteBuffer helpers of the framework;
  // raises EWriteError when the stream takes less.
  void WriteString(const std::string& bytes) {
    if (Write(bytes.data(), static_cast<int64_t>(bytes.size())) !=
        static_cast<int64_t>(bytes.size()))
      throw EWriteError("Stream write error");
  }
};

// A growable block of memory read and written as a stream.
class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;

  const char* Memory() const { return FData.data(); }
  void Clear() {
    FData.clear();
    FPosition = 0;
  }

 protected:
  std::string FData;
  int64_t FPosition = 0;
};

// A stream over an 8-bit string: made from a string, read as bytes, and its
// whole content available again as a string.
class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(std::string data = {}) { FData = std::move(data); }
  const std::string& DataString() const { return FData; }
};

// A read-only stream over bytes it does not own, so that bytes already in
// memory (a file read whole, a mapped file) are parsed without a copy. The
// bytes must outlive the stream; writing takes nothing.
class TByteViewStream : public TStream {
 public:
  explicit TByteViewStream(std::string_view bytes) : FBytes(bytes) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* /*buffer*/, int64_t /*count*/) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // The size is that of the bytes; raises EWriteError.
  void SetSize(int64_t newSize) override;

 private:
  std::string_view FBytes;
  int64_t FPosition = 0;
};

}  // namespace lumora
