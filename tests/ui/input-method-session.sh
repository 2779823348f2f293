#!/usr/bin/env bash
# input-method-session.sh FRAMEWORK COMMAND [ARGS...]
#
# Runs COMMAND on an X server of its own (Xvfb), with a D-Bus session of its own and a pinyin input
# method of FRAMEWORK (ibus or fcitx5) listening on it, as a clerk's desk has them. The input-method
# plugins need a real display, so this is not the offscreen platform of the other GUI tests. Home and
# configuration live in a temporary directory; every process started here is ended by its process id.
# When a program is missing, COMMAND still runs with XINFANG_IM_SKIP saying what is missing.
set -u

framework=$1
shift

tmp=$(mktemp -d)
pids=()

stop_all() {
    local i pid child
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        # Engines and config programs that a daemon spawned go with it.
        for child in $(pgrep -P "$pid"); do kill "$child" 2>/dev/null; done
        kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$tmp"
}
trap stop_all EXIT

# poll SECONDS COMMAND...: runs COMMAND until it succeeds, at most SECONDS long.
poll() {
    local tries=$(($1 * 10))
    shift
    for ((; tries > 0; tries--)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

fail() {
    echo "input-method-session: $*" >&2
    for log in "$tmp"/*.log; do
        [[ -s $log ]] && { echo "--- ${log##*/}" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

missing=()
for program in Xvfb dbus-daemon xdotool; do
    command -v "$program" >/dev/null || missing+=("$program")
done
case $framework in
ibus)
    command -v ibus-daemon >/dev/null || missing+=(ibus-daemon)
    [[ -e /usr/share/ibus/component/libpinyin.xml ]] || missing+=("the libpinyin engine (ibus-libpinyin)")
    ;;
fcitx5)
    command -v fcitx5 >/dev/null || missing+=(fcitx5)
    [[ -e /usr/share/fcitx5/inputmethod/pinyin.conf ]] || missing+=("the pinyin engine (fcitx5-chinese-addons)")
    ;;
*) fail "unknown framework $framework" ;;
esac
if ((${#missing[@]})); then
    XINFANG_IM_SKIP="not installed: ${missing[*]}" QT_QPA_PLATFORM=offscreen "$@"
    exit
fi

export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache XDG_DATA_HOME=$tmp/data
export XDG_RUNTIME_DIR=$tmp/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY XMODIFIERS GTK_IM_MODULE SESSION_MANAGER
export QT_QPA_PLATFORM=xcb

# The X server picks a free display number and writes it to the file.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
poll 20 test -s "$tmp/display" || fail "Xvfb did not start"
DISPLAY=:$(head -n 1 "$tmp/display")
export DISPLAY

# A bus without service activation: nothing is started behind our back, and a client that asks for a
# daemon before it is up simply fails.
cat >"$tmp/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$tmp/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$tmp/bus.conf" --nofork --nopidfile >"$tmp/dbus.log" 2>&1 &
pids+=($!)
poll 20 test -S "$tmp/bus" || fail "dbus-daemon did not start"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$tmp/bus

case $framework in
ibus)
    # Settings in memory (the daemon's and the engine's), the bus address in our own file, no panel.
    export GSETTINGS_BACKEND=memory IBUS_ADDRESS_FILE=$tmp/ibus-address QT_IM_MODULE=ibus
    memconf=disable
    for p in /usr/libexec/ibus-memconf /usr/lib/ibus/ibus-memconf; do
        [[ -x $p ]] && memconf=$p && break
    done
    ibus-daemon --panel=disable --emoji-extension=disable --config="$memconf" --cache=none \
        >"$tmp/ibus.log" 2>&1 &
    pids+=($!)
    # "ibus engine NAME" exits with 1 even when it succeeds (ibus 1.5.27): ask which engine is set.
    libpinyin_set() {
        ibus engine libpinyin
        [[ $(ibus engine 2>/dev/null) == libpinyin ]]
    }
    poll 30 libpinyin_set || fail "ibus-daemon did not take the libpinyin engine"
    ;;
fcitx5)
    # One group with pinyin, active in every new field, as a clerk who types only Chinese sets it up.
    mkdir -p "$XDG_CONFIG_HOME/fcitx5"
    printf '[Behavior]\nActiveByDefault=True\n' >"$XDG_CONFIG_HOME/fcitx5/config"
    cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<'EOF'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=pinyin

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=pinyin
Layout=

[GroupOrder]
0=Default
EOF
    export QT_IM_MODULE=fcitx
    fcitx5 --disable=all --enable=dbus,dbusfrontend,xcb,keyboard,pinyin,punctuation,pinyinhelper \
        >"$tmp/fcitx5.log" 2>&1 &
    pids+=($!)
    poll 30 fcitx5-remote || fail "fcitx5 did not answer on the bus"
    # The pinyin engine loads after the bus is up; keys typed before would go in as plain letters.
    poll 30 grep -q 'Loaded addon pinyin$' "$tmp/fcitx5.log" || fail "fcitx5 did not load pinyin"
    ;;
esac

XINFANG_IM_FRAMEWORK=$framework timeout 240 "$@"
status=$?
exit $status
