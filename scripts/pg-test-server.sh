#!/bin/sh
# A throwaway PostgreSQL server for the tests: loopback only, trust authentication (except for the
# role vellumark_pw, which must give its password), data under /tmp. As root the server runs as
# the "postgres" account, since PostgreSQL refuses root.
#
# Usage: pg-test-server.sh start|stop|url
#   start  initialise if needed, start, create the database; prints the URL on stdout
#   stop   stop the server and remove its data
#   url    print the URL
# Environment: PGTEST_PORT [54329], PGTEST_DATA [/tmp/vellumark-pg-$PGTEST_PORT], PGTEST_DB [vellumark]
set -eu

PORT=${PGTEST_PORT:-54329}
DATA=${PGTEST_DATA:-/tmp/vellumark-pg-$PORT}
DB=${PGTEST_DB:-vellumark}
DBUSER=postgres
HOST=127.0.0.1
BIN=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

log() { echo "pg-test-server: $*" >&2; }

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd / && runuser -u postgres -- "$@")
    else
        "$@"
    fi
}

url() { echo "postgresql://$DBUSER@$HOST:$PORT/$DB"; }

running() { [ -f "$DATA/PG_VERSION" ] && as_server "$BIN/pg_ctl" -D "$DATA" status >/dev/null 2>&1; }

start() {
    if ! running; then
        if [ ! -f "$DATA/PG_VERSION" ]; then
            mkdir -p "$DATA"
            [ "$(id -u)" -ne 0 ] || chown postgres: "$DATA"
            chmod 700 "$DATA"
            as_server "$BIN/initdb" -D "$DATA" -U "$DBUSER" --auth=trust --encoding=UTF8 \
                --no-locale --no-sync >/dev/null
            cat >>"$DATA/postgresql.conf" <<CONF
listen_addresses = '$HOST'
port = $PORT
unix_socket_directories = '$DATA'
fsync = off
synchronous_commit = off
full_page_writes = off
CONF
            # Everyone is trusted except one role, so tests can see a wrong password refused.
            { echo "host all vellumark_pw $HOST/32 scram-sha-256"; cat "$DATA/pg_hba.conf"; } \
                >"$DATA/pg_hba.new"
            mv "$DATA/pg_hba.new" "$DATA/pg_hba.conf"
            [ "$(id -u)" -ne 0 ] || chown postgres: "$DATA/pg_hba.conf"
        fi
        log "starting on $HOST:$PORT"
        as_server "$BIN/pg_ctl" -D "$DATA" -l "$DATA/server.log" -w -t 60 start >/dev/null || {
            log "start failed:"; tail -n 20 "$DATA/server.log" >&2; exit 1; }
    fi
    if ! "$BIN/psql" -h "$HOST" -p "$PORT" -U "$DBUSER" -d postgres -tAq \
            -c "select 1 from pg_database where datname = '$DB'" | grep -q 1; then
        "$BIN/createdb" -h "$HOST" -p "$PORT" -U "$DBUSER" "$DB"
    fi
    # The role that must give its password; the tests know it as "pw for 'tests'".
    if ! "$BIN/psql" -h "$HOST" -p "$PORT" -U "$DBUSER" -d postgres -tAq \
            -c "select 1 from pg_roles where rolname = 'vellumark_pw'" | grep -q 1; then
        "$BIN/psql" -h "$HOST" -p "$PORT" -U "$DBUSER" -d postgres -q \
            -c "create role vellumark_pw login password 'pw for ''tests'''"
    fi
    url
}

stop() {
    if running; then
        as_server "$BIN/pg_ctl" -D "$DATA" -m fast -w stop >/dev/null
        log "stopped"
    fi
    rm -rf "$DATA"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    url) url ;;
    *) echo "usage: $0 start|stop|url" >&2; exit 2 ;;
esac
