#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing) and builds into build/.
# Sourced by run.sh and test.sh; quick when everything is already there.
set -euo pipefail

# What building and running the program need (run.sh). One package or a few related ones a line.
XINFANG_PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-translations-l10n
    unixodbc unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev
    fonts-noto-cjk fontconfig
    xvfb xauth
)

# What the tests add (test.sh): a PostgreSQL server, its driver and openssl for the shared-server tests
# (TLS with a certificate of the test's own), clang and its libFuzzer runtime, clang-format for the format
# check, dpkg-dev, desktop-file-utils and xdotool for the package, launcher and install tests, the two
# input-method frameworks with their pinyin engines (and the D-Bus session they run on) for the typing
# tests, and ImageMagick for looking at screenshots of the windows.
XINFANG_TEST_PACKAGES=(
    odbc-postgresql libpq-dev postgresql openssl
    clang libclang-rt-14-dev clang-format
    dpkg-dev file desktop-file-utils xdotool
    dbus-daemon procps ibus ibus-libpinyin fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
    imagemagick
)

# xinfang_install_packages PACKAGE... installs those of them that are missing.
xinfang_install_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=()
        if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# xinfang_build DIR [cmake options...]
xinfang_build() {
    local dir=$1
    shift
    cmake -S "$XINFANG_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}

XINFANG_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export XINFANG_ROOT
