#!/usr/bin/env bash
# Sets everything up and runs the program on a demo database in build/bin.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

xinfang_install_packages
xinfang_build "$XINFANG_ROOT/build"

bin="$XINFANG_ROOT/build/bin"
if [[ ! -e "$bin/xinfang.mdb" ]]; then
    "$bin/xinfang-admin" init "$bin"
    "$bin/xinfang-admin" demo "$bin" 500
elif [[ ! -e "$bin/set.ini" ]]; then
    "$bin/xinfang-admin" init "$bin"
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found; starting the program under xvfb-run (nothing will be visible)."
    exec xvfb-run -a "$bin/xinfang"
fi
exec "$bin/xinfang"
