#include "lumora/io/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumora {

namespace {

struct TFd {
  int Handle;
  ~TFd() {
    if (Handle >= 0) close(Handle);
  }
};

}  // namespace

bool ReadRegularFile(const std::string& Path, size_t MaxBytes, std::string& Bytes) {
  // Non-blocking, so that opening a FIFO without a writer returns at once;
  // fstat then turns it away with every other kind of special file.
  TFd fd{open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (fd.Handle < 0) return false;
  struct stat info {};
  if (fstat(fd.Handle, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (static_cast<unsigned long long>(info.st_size) > MaxBytes) return false;
  Bytes.clear();
  Bytes.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  // The file may grow while it is read: read to its end, but never past the
  // limit.
  for (;;) {
    if (done == Bytes.size()) {
      if (Bytes.size() > MaxBytes) return false;
      Bytes.resize(done + (done < 4096 ? 4096 : done / 2) + 1);
    }
    const ssize_t got = read(fd.Handle, Bytes.data() + done, Bytes.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  if (done > MaxBytes) return false;
  Bytes.resize(done);
  return true;
}

}  // namespace lumora
