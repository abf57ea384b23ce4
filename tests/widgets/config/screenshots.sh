#!/usr/bin/env bash
# Screenshots of the settings dialog's five pages and of the Insert menu, taken under Xvfb with
# the real xcb platform: screenshots.sh <build dir> <output dir>.
set -euo pipefail
if [ -z "${JV_SHOTS_UNDER_XVFB:-}" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/run" && chmod 700 "$tmp/run"
    HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_RUNTIME_DIR=$tmp/run TMPDIR=$tmp \
        JV_SHOTS_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 640x480x24" "$0" "$@"
    exit
fi
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
shoot() {
    local pid=
    for _ in 1 2 3; do # the first connection to a fresh Xvfb is sometimes refused
        QT_QPA_PLATFORM=xcb "$build/tests/settings_demo" "$1" &
        pid=$!
        for _ in $(seq 50); do
            xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1 && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && break
        wait "$pid" 2>/dev/null || true
    done
    sleep 0.8 # let the menu pop up and paint
    import -window root "$out/$2.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
for page in 0 1 2 3 4; do shoot $page settings-page$page; done
shoot menu insert-menu
