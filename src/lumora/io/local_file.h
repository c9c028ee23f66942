// Reads a local file whole, refusing what is not a regular file: devices
// such as /dev/zero would fill memory and a FIFO would block the parse.
#pragma once

#include <cstddef>
#include <string>

namespace lumora {

// Fills Bytes with the content of the regular file Path; false when it does
// not exist, is no regular file, cannot be read or holds more than MaxBytes.
bool ReadRegularFile(const std::string& Path, size_t MaxBytes, std::string& Bytes);

}  // namespace lumora
