#!/usr/bin/env bash
# Builds lumora and runs every test, installing what is missing first.
#   scripts/test.sh               g++ build in build/
#   scripts/test.sh --sanitize    clang build with AddressSanitizer and
#                                 UndefinedBehaviorSanitizer in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

mode=release
[[ "${1:-}" == "--sanitize" ]] && mode=sanitize

packages=(cmake ninja-build g++ clang libgtest-dev libgmock-dev libbenchmark-dev python3 libclang-rt-14-dev
          libcurl4-openssl-dev python3-pyftpdlib)
scripts/setup.sh "${packages[@]}"

if [[ $mode == sanitize ]]; then
  dir=build-sanitize
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DLUMORA_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
fi
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
