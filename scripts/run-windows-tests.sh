#!/usr/bin/env bash
# Cross-builds the 32-bit Windows DLL and the test suite with MinGW-w64, checks
# the DLL's export table, and runs every test program under wine in a
# throw-away prefix. Exit status non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --windows
scripts/build-windows-deps.sh

build=build/mingw
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIRVO_WERROR=ON \
  -DZIRVO_BUILD_BENCH=OFF -DZIRVO_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
scripts/check-dll.sh "$build"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/zirvo-wine.XXXXXX")
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1
wineserver -w

ctest --test-dir "$build" -j "$(nproc)" --output-on-failure
