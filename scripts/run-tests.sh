#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite: the plain
# build, AddressSanitizer + UndefinedBehaviorSanitizer, and ThreadSanitizer on
# the threaded tests. Warnings are errors in all three.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
launcher=()
# A compiler cache where one is installed, unless ZIRVO_CCACHE=0 asks for a
# build from nothing, as on a fresh machine.
if [[ "${ZIRVO_CCACHE:-1}" != 0 ]] && command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DZIRVO_TEST_PCH=OFF)
fi
# Each step's wall time, so a slow CI run shows where its time went.
step() { echo "run-tests: $* (${SECONDS} s so far)"; }
# Line tables only: the sanitizers' reports keep their file and line, and the
# builds skip a third of their compile time.
debug_info=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
            -DCMAKE_CXX_FLAGS_DEBUG="-g1" -DCMAKE_C_FLAGS_DEBUG="-g1")
build() {  # build <dir> <cmake options...>
  local dir=$1; shift
  cmake -S . -B "$dir" -DZIRVO_WERROR=ON "${launcher[@]}" "${debug_info[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

step "plain build"
build build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
step "plain tests"
# A test that hangs fails after five minutes instead of holding up the run.
ctest --test-dir build/release -j "$jobs" --output-on-failure --no-tests=error --timeout 300

step "AddressSanitizer build"
build build/asan -DCMAKE_BUILD_TYPE=Debug -DZIRVO_SANITIZE=address -DZIRVO_BUILD_BENCH=OFF -DZIRVO_BUILD_TOOLS=OFF
step "AddressSanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan -j "$jobs" --output-on-failure --no-tests=error --timeout 300

# The subsystems that run threads; the pixel kernels run single-threaded.
threaded="platform;device;display;sim;instance;api;settings;output"
step "ThreadSanitizer build"
build build/tsan -DCMAKE_BUILD_TYPE=Debug -DZIRVO_SANITIZE=thread -DZIRVO_BUILD_BENCH=OFF -DZIRVO_BUILD_TOOLS=OFF \
  -DZIRVO_TEST_SUBSYSTEMS="$threaded"
step "ThreadSanitizer tests"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -j "$jobs" --output-on-failure --no-tests=error --timeout 300

if [[ -x scripts/run-windows-tests.sh ]]; then
  step "Windows build and wine"
  scripts/run-windows-tests.sh
fi
step "done"
