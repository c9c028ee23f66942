#include <unistd.h>

#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return lumora::cli::Run({argv + 1, argv + argc}, std::cout, std::cerr,
                         ::isatty(STDERR_FILENO) ? &std::cerr : nullptr);
}
