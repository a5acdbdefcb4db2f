#!/bin/sh
# Builds the program in Release and measures the ledger at 1 000, 100 000 and 1 000 000
# records, then the safety nets on the same ledgers (undo, journal, backups), then files beyond
# and at a ledger's ceilings (about 800 MB in DATA_FOLDER/hostile, and a sparse 2 GiB file).
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
cmake --build "$build" -j2 --target ledger_bench
QT_QPA_PLATFORM=offscreen "$build/bench/ledger_bench" run "$data" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/ledger_bench" safety "$data" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/ledger_bench" hostile "$data/hostile"
