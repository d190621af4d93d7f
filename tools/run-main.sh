#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the main job: VROSetup
# under Wine, driven through every page of its wizard, with a screenshot of
# each page saved in out/screenshots/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j2

prefix=$root/build/main-prefix
[ -f "$prefix/system.reg" ] || "$root/tools/make-prefix.sh" "$prefix"
export VRO_TEMPLATE_PREFIX=$prefix
export VRO_BIN_DIR=$root/build/win32/bin
export VRO_SHOT_DIR=$root/out/screenshots
export VRO_TIMEOUT=180
# In a window when there is a display, otherwise on an Xvfb server of its own.
[ -n "${DISPLAY:-}" ] || export VRO_XVFB=1
mkdir -p "$VRO_SHOT_DIR"
"$root/tools/wine-test-run.sh" "$VRO_BIN_DIR/setup_tour.exe"
echo "screenshots: $VRO_SHOT_DIR"
