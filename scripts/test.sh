#!/usr/bin/env bash
# Sets up, builds and runs every test (unit, widgets, end-to-end) through CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${JV_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --timeout 300 -j "$(nproc)" "$@"
