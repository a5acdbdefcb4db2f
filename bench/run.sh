#!/bin/sh
# Builds the program in Release and measures the ledger at 1 000, 100 000 and 1 000 000
# records, then the safety nets on the same ledgers (undo, journal, backups), then files beyond
# and at a ledger's ceilings (about 800 MB in DATA_FOLDER/hostile, and a sparse 2 GiB file),
# then the reports (the receivables overview, select-all) and the shared books.
# The generated files are kept in the data folder between runs.
#   bench/run.sh [DATA_FOLDER] [SIZES...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build-bench"
data=${1:-/tmp/vellumar-bench}
[ $# -gt 0 ] && shift

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMAR_BUILD_TESTS=OFF \
    >/dev/null
cmake --build "$build" -j2 --target ledger_bench reports_bench shared_bench
QT_QPA_PLATFORM=offscreen "$build/bench/ledger_bench" run "$data" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/ledger_bench" safety "$data" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/ledger_bench" hostile "$data/hostile"

# The receivables overview of 1 000 holders with 1 000 records each, and select-all on the
# million-record ledger written above.
QT_QPA_PLATFORM=offscreen "$build/bench/reports_bench" overview "$data/overview" 1000 1000
if [ -f "$data/ledger_1000000.z" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/reports_bench" selection "$data/ledger_1000000.z"
fi

# The shared books against a PostgreSQL server of the benchmark's own (flushing to disk as a
# shop's server does), stopped again however the run ends.
server=/tmp/vellumar-bench-pg-$$
trap 'sh "$root/scripts/pg-test-server.sh" stop "$server"' EXIT
connection=$(sh "$root/scripts/pg-test-server.sh" start "$server")
"$build/bench/shared_bench" run "$connection"
