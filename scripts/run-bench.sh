#!/usr/bin/env bash
# Installs what is missing (OpenCV included, for the comparison), builds and
# runs zirvo_bench on full frames. Extra arguments go to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --bench
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target zirvo_bench
exec build/release/bench/zirvo_bench "$@"
