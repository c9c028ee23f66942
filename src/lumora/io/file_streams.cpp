#include "lumora/io/file_streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "lumora/framework/exception.h"
#include "lumora/framework/sysutils.h"

namespace lumora {
namespace {

int OpenFlags(uint32_t access, uint32_t disposition) {
  int flags = O_CLOEXEC;
  const bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
      return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS:
      return flags | O_CREAT;
    case TRUNCATE_EXISTING:
      return flags | O_TRUNC;
    default:
      return flags;  // OPEN_EXISTING
  }
}

}  // namespace

int64_t TXMLHandleStream::Read(void* Buffer, int64_t Count) {
  const int32_t n =
      FileRead(FHandle, Buffer, static_cast<int32_t>(std::clamp<int64_t>(Count, 0, INT_MAX)));
  return n < 0 ? 0 : n;
}

int64_t TXMLHandleStream::Write(const void* Buffer, int64_t Count) {
  const int32_t n =
      FileWrite(FHandle, Buffer, static_cast<int32_t>(std::clamp<int64_t>(Count, 0, INT_MAX)));
  return n < 0 ? 0 : n;
}

int64_t TXMLHandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  return FileSeek(FHandle, Offset, static_cast<int>(Origin));
}

void TXMLHandleStream::SetSize(int64_t NewSize) {
  Seek(NewSize, TSeekOrigin::soBeginning);
  Win32Check(::ftruncate(FHandle, NewSize) == 0);
}

TXMLFileStream::TXMLFileStream(const std::string& FileName, uint32_t DesiredAccess,
                               uint32_t /*ShareMode: POSIX has no share locks*/,
                               uint32_t CreationDisposition, uint32_t FlagsAndAttributes)
    : TXMLHandleStream(INVALID_HANDLE_VALUE) {
  const mode_t mode = (FlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  FHandle = ::open(FileName.c_str(), OpenFlags(DesiredAccess, CreationDisposition), mode);
  struct stat info;
  if (FHandle >= 0 && (::fstat(FHandle, &info) != 0 || S_ISDIR(info.st_mode))) {
    ::close(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
  }
  if (FHandle == INVALID_HANDLE_VALUE)
    throw EFCreateError("Error creating file stream for " + FileName);
}

TXMLFileStream::~TXMLFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE) ::close(FHandle);
}

}  // namespace lumora
