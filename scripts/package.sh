#!/usr/bin/env bash
# Builds the programs (scripts/build.sh) and packs them as a Debian package in build/package/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${JV_BUILD_DIR:-$root/build}
JV_BUILD_DIR=$build bash "$root/scripts/build.sh"
cpack --config "$build/CPackConfig.cmake" -B "$build/package"
ls "$build"/package/jotvane_*.deb
