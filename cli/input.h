// The bytes of one input document, read once: a file opened once by name
// (never again), or standard input. The parser then reads them from memory.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumora::cli {

// An input that cannot be read; the message is the system's reason.
class EInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TInput {
 public:
  // Reads the whole of file; "-" is standard input. A regular file takes
  // one read of the size it has when opened; pipes, terminals and files that
  // grow are read in large chunks to their end. Raises EInputError.
  static TInput Read(const std::string& file);

  std::string_view Bytes() const { return {FData.get(), FSize}; }

 private:
  // Not initialized: every byte is read into before it is looked at.
  std::unique_ptr<char[]> FData;
  size_t FSize = 0;
};

}  // namespace lumora::cli
