// Diagnostics in the compiler convention, so that editors and CI tools can
// jump to them:
//   FILE:LINE:COLUMN: error: MESSAGE   a document that is not well-formed
//   FILE:LINE: error: MESSAGE          the same where the column is not known
//   FILE:LINE:COLUMN: validity error: MESSAGE
//                                      one entry of the validity errors, at the
//                                      start of the node it concerns
//   FILE: validity error: MESSAGE      the same for a node read from no tag
//   FILE: warning: MESSAGE             characters that could not be converted
//   FILE: error: MESSAGE               a file that cannot be read or written
// and the exit status they add up to.
#pragma once

#include <algorithm>
#include <iosfwd>
#include <string>
#include <string_view>

namespace lumora {
class EKaOrvaneError;
class TKaError;
}  // namespace lumora

namespace lumora::cli {

// How a file is named in messages: "-" is standard input.
std::string DisplayName(const std::string& file);

// Text made safe for a terminal, on one line: tab, line feed, carriage
// return and backslash are written \t, \n, \r and \\; every other control
// character (U+0000..U+001F, U+007F, U+0080..U+009F) and every byte that is
// not part of well-formed UTF-8 as \xHH, its code in two hex digits.
std::string Printable(std::string_view utf8);
std::string Printable(std::u16string_view text);

class TReporter {
 public:
  // A progress line for long inputs goes to terminal; none when it is null.
  explicit TReporter(std::ostream& err, std::ostream* terminal = nullptr)
      : FErr(err), FTerminal(terminal) {}

  // A syntax error of the parse of file (status 2).
  void SyntaxError(const std::string& file, const EKaOrvaneError& error);
  // One validity error (status 1).
  void ValidityError(const std::string& file, const TKaError& error);
  // Conversion losses: units holds the code units, described by what.
  void InvalidChars(const std::string& file, const std::string& what, std::u16string_view units);
  // A doubt about a file that changes no status; line 0 names no line.
  void Warning(const std::string& file, long line, const std::string& message);
  // Any other problem with a file; the status says how bad it is.
  void Error(const std::string& file, const std::string& message, int status);

  std::ostream& Err() { return FErr; }
  std::ostream* Terminal() const { return FTerminal; }
  int Status() const { return FStatus; }
  void Raise(int status) { FStatus = std::max(FStatus, status); }

 private:
  std::ostream& FErr;
  std::ostream* FTerminal;
  int FStatus = 0;
};

}  // namespace lumora::cli
