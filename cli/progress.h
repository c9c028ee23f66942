// A progress line on the terminal while a long input is read:
//   lumora: big.xml: 42% (21.3 of 50.0 MB)
// shown once reading has taken a second, redrawn a few times a second and
// erased when the file is done, so that nothing of it stays in the output.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace lumora::cli {

// The text of the line: bytes read of the total, or alone when the total is
// not known (negative).
std::string ProgressText(const std::string& shown, int64_t done, int64_t total);

class TProgress {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr TClock::duration kDelay = std::chrono::seconds(1);
  static constexpr TClock::duration kInterval = std::chrono::milliseconds(250);

  // Nothing is shown on a null terminal.
  TProgress(std::ostream* terminal, std::string shown, int64_t total);
  ~TProgress() { Erase(); }
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  // Called as bytes are read; looks at the clock once per call.
  void Update(int64_t done);
  // Takes the line away, before a message or at the end; the next update
  // draws it again.
  void Erase();

 private:
  std::ostream* FTerminal;
  std::string FShown;
  int64_t FTotal;
  TClock::time_point FStart;
  TClock::time_point FNext;
  bool FVisible = false;
};

}  // namespace lumora::cli
