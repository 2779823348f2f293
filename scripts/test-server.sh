#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests of offices with a shared server (tests/server and the
# server half of the store suite). Sourced by test.sh, which runs its tests through xinfang_with_test_server.
#
# The cluster lives in a fresh temporary directory and listens only on a Unix socket there, so it can
# collide with no port and no other cluster on the machine. Root may not run PostgreSQL, so as root it
# runs as the postgres user that Debian's package creates. It is stopped by its process id and its
# directory removed when the command ends, whether the tests pass, fail or are interrupted.

XINFANG_PG_DIR=""
XINFANG_PG_PID=""

xinfang_start_test_server() {
    local bindir
    bindir=$(find /usr/lib/postgresql -maxdepth 2 -type d -name bin 2>/dev/null | sort -V | tail -n 1)
    if [[ -z "$bindir" || ! -x "$bindir/initdb" ]]; then
        echo "PostgreSQL's server programs are missing (Debian package postgresql)" >&2
        return 1
    fi
    XINFANG_PG_DIR=$(mktemp -d /tmp/xinfang-pg.XXXXXX)
    local as=()
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$XINFANG_PG_DIR"
        as=(runuser -u postgres --)
    fi
    # Trust on a socket only its owner and root can reach; C.UTF-8 so that lower() folds more than ASCII,
    # as an office's locale would, and the schema's ASCII-only matching is really tested. Both run from /,
    # since the postgres user may not be able to enter the directory test.sh runs in (under /root, say).
    (cd / && "${as[@]}" "$bindir/initdb" -D "$XINFANG_PG_DIR/data" -U xinfang --auth=trust -E UTF8 \
        --locale=C.UTF-8 >"$XINFANG_PG_DIR/initdb.log" 2>&1) || { cat "$XINFANG_PG_DIR/initdb.log" >&2; return 1; }
    # Nothing here needs to survive a crash, so the server skips the flushes to disk.
    (cd / && "${as[@]}" "$bindir/pg_ctl" -D "$XINFANG_PG_DIR/data" -l "$XINFANG_PG_DIR/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $XINFANG_PG_DIR -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null) || { cat "$XINFANG_PG_DIR/server.log" >&2; return 1; }
    XINFANG_PG_PID=$(head -n 1 "$XINFANG_PG_DIR/data/postmaster.pid")
    echo "PostgreSQL test server: process $XINFANG_PG_PID, socket in $XINFANG_PG_DIR"
    # The driver the README names for desks; ConnSettings keeps the text UTF-8 whatever the locale.
    export XINFANG_TEST_PG="Driver={PostgreSQL ANSI};Servername=$XINFANG_PG_DIR;Port=5432;Database=postgres;Username=xinfang;ConnSettings={SET client_encoding TO 'UTF8'};CommLog=0;Debug=0;"
}

xinfang_stop_test_server() {
    if [[ -n "$XINFANG_PG_PID" ]] && kill -0 "$XINFANG_PG_PID" 2>/dev/null; then
        # SIGINT is PostgreSQL's fast shutdown: open connections are ended, not waited for.
        kill -INT "$XINFANG_PG_PID"
        local i
        for ((i = 0; i < 300; i++)); do
            kill -0 "$XINFANG_PG_PID" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$XINFANG_PG_PID" 2>/dev/null; then
            kill -KILL "$XINFANG_PG_PID" 2>/dev/null || true
        fi
    fi
    XINFANG_PG_PID=""
    if [[ -n "$XINFANG_PG_DIR" ]]; then
        rm -rf "$XINFANG_PG_DIR"
        XINFANG_PG_DIR=""
    fi
}

# xinfang_with_test_server COMMAND...: runs the command with a fresh server and XINFANG_TEST_PG set,
# and stops the server however the command ends. A subshell of its own keeps this trap apart from any
# other the caller sets.
xinfang_with_test_server() {
    (
        trap xinfang_stop_test_server EXIT
        trap 'exit 130' INT TERM HUP
        xinfang_start_test_server
        "$@"
    )
}
