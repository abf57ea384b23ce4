#!/bin/sh
# Runs a test program on a private Xvfb (Qt's xcb platform) with a temporary HOME and XDG
# folders, then stops that Xvfb and removes the folders. Without Xvfb it reports a skip (77).
# The server's process id is in JV_XVFB_PID, for a test that has to see it go away.
# Usage: run-under-xvfb.sh <test program> [arguments]
set -u
command -v Xvfb >/dev/null 2>&1 || { echo "Xvfb is not installed; skipping" >&2; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/jv-xvfb-XXXXXX") || exit 1
mkdir -p "$work/home" "$work/config" "$work/data" "$work/runtime" "$work/tmp"
chmod 700 "$work/runtime"
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
HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime \
    TMPDIR=$work/tmp JV_XVFB_PID=$xvfb DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb "$@"
status=$?
kill $xvfb 2>/dev/null
wait $xvfb 2>/dev/null
rm -rf "$work"
exit $status
