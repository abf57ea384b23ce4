#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it.
# Generated protocol code is left as the scanner writes it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' | grep -v '^src/hook/protocols/')
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "check-format: run  clang-format -i  on the files named above" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files are formatted"
