#!/usr/bin/env bash
# Configures and builds into build/ (or $JV_BUILD_DIR). The runnable tree is build/bin.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${JV_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${JV_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" --parallel "$(nproc)"
