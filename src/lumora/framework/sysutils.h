// String, conversion, file and number services that the whole library uses.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lumora {

// One argument of `Format`: a string or an integer.
struct FormatArg {
  FormatArg(std::string_view text) : IsText(true), Text(text) {}
  FormatArg(const std::string& text) : IsText(true), Text(text) {}
  FormatArg(const char* text) : IsText(true), Text(text) {}
  template <class I>
  requires std::is_integral_v<I> FormatArg(I number)
      : IsText(false), Number(static_cast<int64_t>(number)) {}

  bool IsText;
  std::string_view Text;
  int64_t Number = 0;
};

std::string FormatList(std::string_view pattern, std::span<const FormatArg> args);

// printf-like formatting with "%s", "%d", "%x" (upper-case hexadecimal) and
// "%%"; a conversion may carry "-", a width and a ".precision" ("%0.4x" gives
// at least four digits). A pattern that does not fit its arguments raises
// EConvertError.
template <class... Args>
std::string Format(std::string_view pattern, const Args&... args) {
  const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
  return FormatList(pattern, list);
}

// Compare 8-bit strings: <0, 0, >0. CompareText ignores the case of ASCII letters.
int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
// Removes the characters up to and including the space at both ends.
std::string Trim(std::string_view text);
std::string LowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
// Decimal (or "$"/"0x" hexadecimal) integer with optional sign; anything else
// raises EConvertError "'text' is not a valid integer value".
int32_t StrToInt(std::string_view text);
double Power(double base, double exponent);

// The system's default conversions between 8-bit and wide text: UTF-8 here.
// Surrogate pairs become one four-byte sequence, a lone surrogate its
// three-byte form; malformed UTF-8 bytes become U+FFFD.
std::string WideToSystem(std::u16string_view text);
std::u16string SystemToWide(std::string_view text);

// Files and operating-system handles.
bool FileExists(const std::string& fileName);
int32_t FileRead(int handle, void* buffer, int32_t count);         // -1 on failure
int32_t FileWrite(int handle, const void* buffer, int32_t count);  // -1 on failure
int64_t FileSeek(int handle, int64_t offset, int origin);          // -1 on failure
// Raises EOSError with the operating system's text when ok is false.
void Win32Check(bool ok);

}  // namespace lumora
