#!/usr/bin/env bash
# Sets everything up and runs the program on a demo database in build/bin.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

xinfang_install_packages "${XINFANG_PACKAGES[@]}"
# The program and its tool only. A build tree made here leaves the tests out (test.sh adds them, with
# the packages they need); one that exists keeps its settings.
build="$XINFANG_ROOT/build"
testing=()
if [[ ! -e "$build/CMakeCache.txt" ]]; then testing=(-DBUILD_TESTING=OFF); fi
cmake -S "$XINFANG_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${testing[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target xinfang xinfang-admin

bin="$build/bin"
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
