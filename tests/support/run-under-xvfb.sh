#!/bin/sh
# Runs a test binary on a private Xvfb with Qt's xcb platform, then stops that Xvfb.
# Usage: run-under-xvfb.sh <test binary> [gtest arguments]
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/jv-xvfb-XXXXXX") || exit 1
# -displayfd lets the server pick a free display number and tell us when it is ready.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
tries=0
while [ ! -s "$work/display" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $xvfb 2>/dev/null; then
        echo "Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        kill $xvfb 2>/dev/null
        rm -rf "$work"
        exit 1
    fi
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb "$@"
status=$?
kill $xvfb 2>/dev/null
wait $xvfb 2>/dev/null
rm -rf "$work"
exit $status
