#!/usr/bin/env bash
# Sets up, builds and starts Jotvane from build/bin (its own folder keeps Data/ and Config.ini).
# Arguments are passed on, e.g. "/min".
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: Jotvane is a desktop program and needs a display; none is set (DISPLAY/WAYLAND_DISPLAY)." >&2
    echo "run: start it from a graphical session, or for a look without one: xvfb-run -a bash scripts/run.sh" >&2
    exit 2
fi
exec "${JV_BUILD_DIR:-$root/build}/bin/jotvane" "$@"
