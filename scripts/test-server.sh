#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests of offices with a shared server (tests/server and the
# server half of the store suite). Sourced by test.sh, which runs its tests through xinfang_with_test_server.
#
# The cluster lives in a fresh temporary directory. The tests' own role (a superuser, for making and
# dropping databases) comes in on a Unix socket there, which only its owner and root can reach. Beside it
# the server listens on a free TCP port of 127.0.0.1 (never another address) for TLS connections only,
# with a self-signed certificate made here, as an office's desks reach their server: a password checked
# with scram-sha-256, and no plain TCP at all. Root may not run PostgreSQL, so as root it runs as the
# postgres user that Debian's package creates. It is stopped by its process id and its directory removed
# when the command ends, whether the tests pass, fail or are interrupted.

XINFANG_PG_DIR=""
XINFANG_PG_PID=""

xinfang_start_test_server() {
    local bindir
    bindir=$(find /usr/lib/postgresql -maxdepth 2 -type d -name bin 2>/dev/null | sort -V | tail -n 1)
    if [[ -z "$bindir" || ! -x "$bindir/initdb" ]]; then
        echo "PostgreSQL's server programs are missing (Debian package postgresql)" >&2
        return 1
    fi
    if ! command -v openssl >/dev/null; then
        echo "openssl is missing (Debian package openssl)" >&2
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
    # TCP only through TLS: with no "host" line, a connection without it finds no rule and is refused.
    printf '%s\n' "local all all trust" "hostssl all all 127.0.0.1/32 scram-sha-256" >"$XINFANG_PG_DIR/data/pg_hba.conf"

    # The server's certificate, for the names a desk on this machine would use; being self-signed, it is
    # also the root certificate the desks check it against (root.crt). An EC key is made in no time.
    (cd "$XINFANG_PG_DIR" && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
        -keyout server.key -out server.crt >openssl.log 2>&1) || { cat "$XINFANG_PG_DIR/openssl.log" >&2; return 1; }
    cp "$XINFANG_PG_DIR/server.crt" "$XINFANG_PG_DIR/root.crt"
    chmod 600 "$XINFANG_PG_DIR/server.key"
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$XINFANG_PG_DIR/server.key" "$XINFANG_PG_DIR/server.crt" "$XINFANG_PG_DIR/data/pg_hba.conf"
    fi

    # A port that nothing listens on; another server may take it between this look and the start, so a
    # start that cannot bind tries another. The Unix socket takes the same number. Nothing here needs to
    # survive a crash, so the server skips the flushes to disk.
    local port attempt
    for ((attempt = 0; attempt < 10; attempt++)); do
        port=$((20000 + RANDOM % 40000))
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            continue
        fi
        rm -f "$XINFANG_PG_DIR/server.log"
        if (cd / && "${as[@]}" "$bindir/pg_ctl" -D "$XINFANG_PG_DIR/data" -l "$XINFANG_PG_DIR/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $XINFANG_PG_DIR -c ssl=on \
                -c ssl_cert_file=$XINFANG_PG_DIR/server.crt -c ssl_key_file=$XINFANG_PG_DIR/server.key \
                -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
            start >/dev/null); then
            break
        fi
        if ! grep -q "could not bind" "$XINFANG_PG_DIR/server.log" 2>/dev/null; then
            cat "$XINFANG_PG_DIR/server.log" >&2
            return 1
        fi
        port=""
    done
    if [[ -z "$port" || ! -f "$XINFANG_PG_DIR/data/postmaster.pid" ]]; then
        echo "PostgreSQL test server: found no free port" >&2
        return 1
    fi
    XINFANG_PG_PID=$(head -n 1 "$XINFANG_PG_DIR/data/postmaster.pid")
    echo "PostgreSQL test server: process $XINFANG_PG_PID, socket in $XINFANG_PG_DIR, TLS on 127.0.0.1:$port"
    # The driver the README names for desks; ConnSettings keeps the text UTF-8 whatever the locale, and
    # CommLog=0 keeps the driver from leaving a log of every connection in the temporary directory.
    export XINFANG_TEST_PG="Driver={PostgreSQL ANSI};Servername=$XINFANG_PG_DIR;Port=$port;Database=postgres;Username=xinfang;CommLog=0;Debug=0;ConnSettings={SET client_encoding TO 'UTF8'};"
    # The same server as the desks reach it: TCP with TLS on this port, checked against this root certificate.
    export XINFANG_TEST_PG_TLS_PORT=$port
    export XINFANG_TEST_PG_ROOT_CERT=$XINFANG_PG_DIR/root.crt
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

# xinfang_with_test_server COMMAND...: runs the command with a fresh server and XINFANG_TEST_PG (and the
# TLS port and root certificate) set, and stops the server however the command ends. A subshell of its
# own keeps this trap apart from any other the caller sets.
xinfang_with_test_server() {
    (
        trap xinfang_stop_test_server EXIT
        trap 'exit 130' INT TERM HUP
        xinfang_start_test_server
        "$@"
    )
}
