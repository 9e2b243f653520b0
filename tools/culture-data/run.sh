#!/usr/bin/env bash
# Rebuilds src/foundation/CultureDataTable.inc from this machine's ICU
# (Debian: libicu-dev). Not part of the CMake build: the program never links
# ICU, and the table only changes when someone decides it should.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

g++ -std=c++20 -O1 -Wall -Wextra -Werror -o "$work/generate" "$here/generate.cpp" -licui18n -licuuc
"$work/generate" "$here/../../src/foundation/CultureDataTable.inc"
echo "wrote src/foundation/CultureDataTable.inc"
