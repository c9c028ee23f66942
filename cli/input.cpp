#include "input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lumora/framework/exception.h"

namespace lumora::cli {

TInputStream::TInputStream(const std::string& file) {
  FFd = file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (FFd < 0) throw EInputError(std::strerror(errno));
  struct stat info {};
  int failure = ::fstat(FFd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  if (failure == 0 && S_ISREG(info.st_mode)) {
    // Standard input redirected from a file may not start at its beginning.
    const off_t start = ::lseek(FFd, 0, SEEK_CUR);
    FSeekable = start == 0;
    if (FSeekable) FTotal = static_cast<int64_t>(info.st_size);
  }
  if (failure != 0) {
    if (FFd > STDIN_FILENO) ::close(FFd);
    throw EInputError(std::strerror(failure));
  }
}

TInputStream::~TInputStream() {
  if (FFd > STDIN_FILENO) ::close(FFd);
}

int64_t TInputStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  auto* to = static_cast<char*>(buffer);
  if (FPosition < FSystemPos) {
    // Behind the descriptor only within the head (Seek sees to that).
    const int64_t n = std::min(count, FSystemPos - FPosition);
    std::memcpy(to, FHead.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
  }
  if (FEnd) return 0;
  const size_t want = static_cast<size_t>(std::min<int64_t>(count, int64_t{1} << 30));
  ssize_t n;
  do {
    n = ::read(FFd, to, want);
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw EInputError(std::strerror(errno));
  if (n == 0) {
    FEnd = true;
    return 0;
  }
  if (FSystemPos == static_cast<int64_t>(FHead.size()) && FSystemPos < kHeadBytes)
    FHead.append(to, static_cast<size_t>(std::min<int64_t>(n, kHeadBytes - FSystemPos)));
  FSystemPos += n;
  FPosition = FSystemPos;
  if (FOnRead) FOnRead(FSystemPos);
  return n;
}

int64_t TInputStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target += FPosition;
  if (origin == TSeekOrigin::soEnd) {
    if (FTotal < 0) return -1;
    target += FTotal;
  }
  if (target < 0) return -1;
  // What the descriptor gave so far is all in the head: move within it.
  if (target == FSystemPos ||
      (target < FSystemPos && FSystemPos <= static_cast<int64_t>(FHead.size()))) {
    FPosition = target;
    return target;
  }
  if (!FSeekable || ::lseek(FFd, static_cast<off_t>(target), SEEK_SET) < 0) return -1;
  FPosition = FSystemPos = target;
  FEnd = false;
  return target;
}

void TInputStream::SetSize(int64_t /*newSize*/) {
  throw EWriteError("Stream write error");
}

}  // namespace lumora::cli
