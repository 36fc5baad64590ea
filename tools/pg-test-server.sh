#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a cluster in a folder of its own, reached only
# through a Unix socket in that folder (no TCP), with nothing synced to disk.
#   tools/pg-test-server.sh start FOLDER PORT
#   tools/pg-test-server.sh stop FOLDER
#   tools/pg-test-server.sh halt FOLDER         (stops the server cleanly, keeps its data)
#   tools/pg-test-server.sh crash FOLDER        (kills the server, keeps its data)
#   tools/pg-test-server.sh resume FOLDER PORT  (starts a halted server again)
# DURABLE=1 in the environment makes a server whose commits survive a crash.
# As root the server runs as the user postgres (the server refuses to run as root).
set -euo pipefail
action=${1:?start or stop}
folder=${2:?folder}
port=${3:-5499}

bin=""
for candidate in /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/initdb" ] && bin=$candidate
done
if [ -z "$bin" ]; then
    echo "pg-test-server: no PostgreSQL server is installed (Debian package postgresql)" >&2
    exit 1
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop() {
    if [ -f "$folder/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$folder/data" -m "${mode:-immediate}" -w stop >/dev/null 2>&1 || true
    fi
}

run() {
    # Nothing reaches the disk unless the server is to survive a crash (DURABLE=1).
    local speed="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
    if [ "${DURABLE:-0}" = 1 ]; then speed=""; fi
    as_owner "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
        -o "-k $folder -p $port -c listen_addresses='' $speed" start >/dev/null
}

case "$action" in
start)
    stop
    rm -rf "$folder"
    mkdir -p "$folder"
    if [ "$(id -u)" -eq 0 ]; then chown postgres:postgres "$folder"; fi
    as_owner "$bin/initdb" -D "$folder/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 -N >/dev/null
    run
    echo "pg-test-server: running, socket in $folder, port $port"
    ;;
halt)
    # A clean shutdown, as for maintenance: what was committed is there when it comes back.
    mode=fast stop
    ;;
crash)
    stop
    ;;
resume)
    run
    ;;
stop)
    stop
    rm -rf "$folder"
    ;;
*)
    echo "pg-test-server: start or stop, not $action" >&2
    exit 2
    ;;
esac
