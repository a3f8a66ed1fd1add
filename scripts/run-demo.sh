#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo from the repository's top
# folder: the attached camera, or the simulated camera when none is attached,
# end to end (information, snapshots saved in four formats, callback preview,
# recording). The files go to demo-output/; arguments go to the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target zirvo_demo
exec build/release/tools/zirvo_demo "$@"
