#!/bin/sh
# A throwaway PostgreSQL server for the tests and the benchmark: its data in FOLDER/data, its
# log in FOLDER/log, listening on a Unix socket in FOLDER only (no TCP port is opened), with
# trust authentication on that socket. initdb refuses to run as root, so as root the server
# runs as the "postgres" user of Debian's postgresql package.
#   sh scripts/pg-test-server.sh start FOLDER [fast]  # a new server (what FOLDER held goes)
#   sh scripts/pg-test-server.sh halt FOLDER          # stops it and keeps its data
#   sh scripts/pg-test-server.sh resume FOLDER        # starts a halted server again
#   sh scripts/pg-test-server.sh stop FOLDER          # stops it and removes FOLDER
#   sh scripts/pg-test-server.sh connection FOLDER    # prints the libpq connection string
# "fast" turns off flushing to disk: right for tests, wrong for the benchmark's figures.
set -eu

usage() {
    echo "usage: $0 start|halt|resume|stop|connection FOLDER [fast]" >&2
    exit 2
}
[ $# -ge 2 ] || usage
command=$1
folder=$2
fast=${3:-}
case "$folder" in
/*) ;;
*) folder="$(pwd)/$folder" ;;
esac
case "$folder" in
*[!A-Za-z0-9_./-]*)
    echo "$0: the folder name may hold only letters, digits and _ . / -: $folder" >&2
    exit 2
    ;;
esac

port=5432
connection="host=$folder port=$port user=postgres dbname=postgres"

# The newest PostgreSQL installed by Debian's packages.
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "$0: PostgreSQL is not installed (Debian package postgresql)" >&2
    exit 1
fi

# Runs a server program as the user that owns the data.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

halt() {
    if [ -f "$folder/data/postmaster.pid" ]; then
        as_owner "$bindir/pg_ctl" stop -D "$folder/data" -m fast -w -t 60 >/dev/null ||
            as_owner "$bindir/pg_ctl" stop -D "$folder/data" -m immediate -w >/dev/null || true
    fi
}

resume() {
    settings="-c listen_addresses='' -c unix_socket_directories='$folder' -c port=$port"
    settings="$settings -c max_connections=200"
    if [ "$fast" = "fast" ] || [ -f "$folder/fast" ]; then
        settings="$settings -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
    fi
    if ! as_owner "$bindir/pg_ctl" start -D "$folder/data" -l "$folder/log" -w -t 60 \
        -o "$settings" >/dev/null; then
        echo "$0: the server did not start; its log:" >&2
        cat "$folder/log" >&2 || true
        exit 1
    fi
}

case "$command" in
start)
    # Whatever an earlier run left behind goes first.
    halt
    rm -rf "$folder"
    mkdir -p "$folder"
    if [ "$(id -u)" -eq 0 ]; then
        if ! id postgres >/dev/null 2>&1; then
            echo "$0: running as root needs the postgres user (Debian package postgresql)" >&2
            exit 1
        fi
        chown postgres "$folder"
    fi
    # A halted server resumes with the settings it was started with.
    if [ "$fast" = "fast" ]; then
        : >"$folder/fast"
    fi
    if ! as_owner "$bindir/initdb" -D "$folder/data" -U postgres -A trust -E UTF8 \
        --locale=C.UTF-8 >"$folder/initdb.log" 2>&1; then
        echo "$0: initdb failed:" >&2
        cat "$folder/initdb.log" >&2
        exit 1
    fi
    resume
    echo "$connection"
    ;;
halt)
    halt
    ;;
resume)
    resume
    ;;
stop)
    halt
    rm -rf "$folder"
    ;;
connection)
    echo "$connection"
    ;;
*)
    usage
    ;;
esac
