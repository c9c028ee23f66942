// One open iconv conversion, closed with the object.
#pragma once

#include <iconv.h>

#include <bit>
#include <cstddef>

namespace lumora {

// The name under which iconv reads and writes char16_t text as it lies in memory.
inline constexpr const char* kIconvUnits =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class TIconvConverter {
 public:
  TIconvConverter(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
  ~TIconvConverter() {
    if (IsOpen()) iconv_close(FHandle);
  }
  TIconvConverter(const TIconvConverter&) = delete;
  TIconvConverter& operator=(const TIconvConverter&) = delete;

  bool IsOpen() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
  // iconv(3): converts what it can, advancing the four arguments; returns
  // (size_t)-1 with errno set when it stops early.
  size_t Convert(const char** in, size_t* inLeft, char** out, size_t* outLeft) {
    return iconv(FHandle, const_cast<char**>(in), inLeft, out, outLeft);
  }
  // Writes what returns the output to its initial shift state.
  size_t Finish(char** out, size_t* outLeft) {
    return iconv(FHandle, nullptr, nullptr, out, outLeft);
  }
  // Back to the initial state, writing nothing.
  void Reset() { iconv(FHandle, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t FHandle;
};

}  // namespace lumora
