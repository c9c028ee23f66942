#include "input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lumora::cli {
namespace {

constexpr size_t kChunk = size_t{1} << 20;

// Closes the descriptor it was given, unless it is standard input.
struct TDescriptor {
  int Fd;
  ~TDescriptor() {
    if (Fd > STDIN_FILENO) ::close(Fd);
  }
};

}  // namespace

TInput TInput::Read(const std::string& file) {
  TDescriptor in{file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.Fd < 0) throw EInputError(std::strerror(errno));
  struct stat info {};
  if (::fstat(in.Fd, &info) != 0) throw EInputError(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) throw EInputError(std::strerror(EISDIR));

  // One byte more than the size, so that a file that has not grown is read
  // to its end by a single read and the next one sees that end.
  size_t capacity = S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) + 1 : kChunk;
  TInput input;
  input.FData.reset(new char[capacity]);
  for (;;) {
    if (input.FSize == capacity) {
      const size_t larger = capacity + std::max(capacity, kChunk);
      std::unique_ptr<char[]> grown(new char[larger]);
      std::memcpy(grown.get(), input.FData.get(), input.FSize);
      input.FData = std::move(grown);
      capacity = larger;
    }
    const ssize_t n = ::read(in.Fd, input.FData.get() + input.FSize, capacity - input.FSize);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EInputError(std::strerror(errno));
    }
    if (n == 0) break;
    input.FSize += static_cast<size_t>(n);
  }
  return input;
}

}  // namespace lumora::cli
