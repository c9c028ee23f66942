// The encodings the library reads and writes, their names, and the tables
// that map the bytes of the 8-bit encodings to UTF-16 code units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

enum TEncoding : uint8_t {
  n_sup = 0,
  i8859_1,
  i8859_2,
  i8859_3,
  i8859_4,
  i8859_5,
  i8859_6,
  i8859_7,
  i8859_8,
  i8859_9,
  i8859_10,
  US_ASCII,
  UTF_8,
  UTF_16,
};

// The encodings with tables of their own, n_sup included. Codes above UTF_16
// belong to the encodings converted by iconv (iconv_encodings.h).
constexpr int kEncodingCount = UTF_16 + 1;
// Rows of `iso`: the 8-bit encodings i8859_1 .. US_ASCII.
constexpr int kIsoRowCount = US_ASCII - i8859_1 + 1;

// The order of the two bytes of a UTF-16 code unit.
enum TByteOrder : uint8_t { boLittleEndian = 0, boBigEndian = 1 };

// The name of each encoding, indexed by TEncoding; never changed.
extern const char* const cps[kEncodingCount];

// iso[e - i8859_1][byte]: the code unit a byte stands for in the 8-bit
// encoding e, or 0 where the byte is not accepted.
extern const char16_t iso[kIsoRowCount][256];

// The name of the encoding: for those converted by iconv the preferred name
// of the IANA character-set registry.
std::string EncodingToString(TEncoding encoding);
// Case-insensitive (ASCII letters only) lookup of an encoding by its name or
// by one of its registered aliases; n_sup when the name is none of the
// supported ones.
TEncoding StringToEncoding(std::string_view name);

}  // namespace lumora
