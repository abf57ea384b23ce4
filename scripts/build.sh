#!/usr/bin/env bash
# Configures and builds into build/ (or $JV_BUILD_DIR). The runnable tree is build/bin.
# JV_WERROR=ON makes the project's own warnings errors (CI sets it).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${JV_BUILD_DIR:-$root/build}
launcher=()
# A compiler cache, where one is installed, makes rebuilds in several work trees cheap.
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=${JV_BUILD_TYPE:-RelWithDebInfo} \
    -DJV_WERROR=${JV_WERROR:-OFF} >/dev/null
cmake --build "$build" --parallel "$(nproc)"
