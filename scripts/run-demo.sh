#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: it streams from the
# attached camera, or from the simulated camera when none is attached.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target zirvo_demo
exec build/release/tools/zirvo_demo "$@"
