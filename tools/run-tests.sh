#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: native tests,
# Windows tests under Wine, UI tests under Xvfb. Ends with ctest's summary;
# the exit status is non-zero when any test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j2
ctest --test-dir "$root/build" -j2 --output-on-failure --timeout 900
