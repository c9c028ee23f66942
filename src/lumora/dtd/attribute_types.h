// The types an attribute can be declared with.
#pragma once

#include <cstdint>

namespace lumora {

constexpr uint8_t atID = 50;
constexpr uint8_t atIDREF = 51;
constexpr uint8_t atIDREFS = 52;
constexpr uint8_t atENTITY = 53;
constexpr uint8_t atENTITIES = 54;
constexpr uint8_t atNMTOKEN = 55;
constexpr uint8_t atNMTOKENS = 56;
constexpr uint8_t atNOTATION = 57;
// Also the type of every attribute that is not declared.
constexpr uint8_t atCDATA = 58;
constexpr uint8_t atEnumeration = 59;

}  // namespace lumora
