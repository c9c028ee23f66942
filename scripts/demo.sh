#!/usr/bin/env bash
# Builds the `lumora` command (installing what the build needs first) and
# shows it at work on a shipped example: the catalogue is checked, written
# back as UTF-16, and the written file is read again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh cmake ninja-build g++ libgtest-dev libgmock-dev libcurl4-openssl-dev
# The same build folder and settings as scripts/test.sh, which builds the rest.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build --target lumora_command

lumora() {
  echo
  echo "\$ lumora $*"
  build/cli/lumora "$@"
}
lumora check --verbose examples/catalogue.xml
lumora write examples/catalogue.xml -o build/catalogue-utf16.xml --encoding UTF-16 --little-endian --verbose
lumora check --verbose build/catalogue-utf16.xml
lumora find build/catalogue-utf16.xml Éthiopie --values
echo
echo "The first lines of build/catalogue-utf16.xml, converted back for the terminal:"
build/cli/lumora write build/catalogue-utf16.xml -o - --encoding UTF-8 | head -n 9
