#include "progress.h"

#include <cstdio>
#include <ostream>

namespace lumora::cli {
namespace {

// Moves to the start of the line and clears it.
constexpr char kClearLine[] = "\r\x1b[K";

}  // namespace

std::string ProgressText(const std::string& shown, int64_t done, int64_t total) {
  char figures[96];
  const double mb = 1e6;
  if (total > 0) {
    // A file that grows while it is read stays at 100%.
    const int64_t percent = done >= total ? 100 : done * 100 / total;
    std::snprintf(figures, sizeof figures, "%lld%% (%.1f of %.1f MB)",
                  static_cast<long long>(percent), static_cast<double>(done) / mb,
                  static_cast<double>(total) / mb);
  } else {
    std::snprintf(figures, sizeof figures, "%.1f MB", static_cast<double>(done) / mb);
  }
  return "lumora: " + shown + ": " + figures;
}

TProgress::TProgress(std::ostream* terminal, std::string shown, int64_t total)
    : FTerminal(terminal),
      FShown(std::move(shown)),
      FTotal(total),
      FStart(TClock::now()),
      FNext(FStart + kDelay) {}

void TProgress::Update(int64_t done) {
  if (!FTerminal) return;
  const TClock::time_point now = TClock::now();
  if (now < FNext) return;
  FNext = now + kInterval;
  *FTerminal << kClearLine << ProgressText(FShown, done, FTotal) << std::flush;
  FVisible = true;
}

void TProgress::Erase() {
  if (!FVisible) return;
  *FTerminal << kClearLine << std::flush;
  FVisible = false;
}

}  // namespace lumora::cli
