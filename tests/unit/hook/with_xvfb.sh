#!/bin/sh
# Runs a program with JV_HOOK_EXPECT_DISPLAY=1 on a private Xvfb that it starts and ends itself.
command -v Xvfb >/dev/null 2>&1 || { echo "Xvfb is not installed; skipping" >&2; exit 77; }
dir=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
mkfifo "$dir/fd"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$dir/fd" >"$dir/log" 2>&1 &
xvfb=$!
read -r number <"$dir/fd" || { cat "$dir/log" >&2; exit 1; }
HOME=$dir XDG_RUNTIME_DIR=$dir TMPDIR=$dir DISPLAY=:$number JV_HOOK_EXPECT_DISPLAY=1 "$@"
