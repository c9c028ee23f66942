// Streams over operating-system file handles. The four values that open a
// file keep their classic meaning (access, sharing, creation disposition,
// attributes) and map to POSIX open flags and modes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lumora/framework/stream.h"

namespace lumora {

constexpr uint32_t GENERIC_READ = 0x80000000;
constexpr uint32_t GENERIC_WRITE = 0x40000000;
constexpr uint32_t FILE_SHARE_READ = 1;
constexpr uint32_t FILE_SHARE_WRITE = 2;
constexpr uint32_t CREATE_NEW = 1;
constexpr uint32_t CREATE_ALWAYS = 2;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t OPEN_ALWAYS = 4;
constexpr uint32_t TRUNCATE_EXISTING = 5;
constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr int INVALID_HANDLE_VALUE = -1;

// A stream over a handle it does not own. Read and Write report 0 bytes on
// failure; Seek returns -1.
class TXMLHandleStream : public TStream {
 public:
  explicit TXMLHandleStream(int Handle) : FHandle(Handle) {}

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  // Truncates or extends the file; raises EOSError when that fails.
  void SetSize(int64_t NewSize) override;
  int GetHandle() const { return FHandle; }

 protected:
  int FHandle;
};

// A stream that opens a file and closes it when destroyed. A file that cannot
// be opened raises EFCreateError "Error creating file stream for <name>".
// Directories are refused like missing files.
class TXMLFileStream : public TXMLHandleStream {
 public:
  TXMLFileStream(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode,
                 uint32_t CreationDisposition, uint32_t FlagsAndAttributes);
  ~TXMLFileStream() override;

  // The ways the library opens files: for reading an existing file, and for
  // writing a new one in place of any old one.
  static std::unique_ptr<TXMLFileStream> OpenForReading(const std::string& FileName) {
    return std::make_unique<TXMLFileStream>(FileName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL);
  }
  static std::unique_ptr<TXMLFileStream> CreateForWriting(const std::string& FileName) {
    return std::make_unique<TXMLFileStream>(FileName, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL);
  }
};

}  // namespace lumora
