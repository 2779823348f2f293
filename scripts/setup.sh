#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing) and builds into build/.
# Sourced by run.sh and test.sh; quick when everything is already there.
set -euo pipefail

XINFANG_PACKAGES=(
    cmake g++ make pkg-config clang-format
    qt6-base-dev qt6-translations-l10n
    unixodbc unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev
    odbc-postgresql libpq-dev postgresql openssl
    fonts-noto-cjk fontconfig
    xvfb xauth imagemagick
    xdotool dbus-daemon procps ibus ibus-libpinyin fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
    clang libclang-rt-14-dev
)

xinfang_install_packages() {
    local missing=()
    local p
    for p in "${XINFANG_PACKAGES[@]}"; do
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
