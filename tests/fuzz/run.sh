#!/bin/sh
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer,
# debug checks on) in build-fuzz and runs each for a bounded time on its seeds: the small ones
# kept here and large ones made for the run. Any crash, report or broken property fails.
#   tests/fuzz/run.sh [READER_SECONDS [NUMBER_SECONDS [JOURNAL_SECONDS [COPY_SECONDS]]]]
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
build="$top/build-fuzz"
reader_seconds=${1:-90}
number_seconds=${2:-30}
journal_seconds=${3:-30}
copy_seconds=${4:-20}

CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DVELLUMAR_FUZZ=ON -DVELLUMAR_SANITIZE=ON \
    -DVELLUMAR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target ledgerfile_fuzzer number_fuzzer journal_fuzzer fuzz_seeds
cmake --build "$build" -j2 --target ledgercopy_fuzzer copy_seeds

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$top/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
"$build/tests/fuzz/fuzz_seeds" large "$seeds"
"$build/tests/fuzz/copy_seeds" "$seeds/copy"
mkdir -p "$build/fuzz-corpus/ledger" "$build/fuzz-corpus/number" "$build/fuzz-corpus/journal" \
    "$build/fuzz-artifacts"

# run NAME SECONDS MAX_LEN SEED_DIRS...: new inputs go to build-fuzz/fuzz-corpus/NAME, a crash
# to build-fuzz/fuzz-artifacts.
run() {
    target=$1 seconds=$2 max_len=$3 corpus=$4
    shift 4
    echo "Fuzzing $target for $seconds s (inputs up to $max_len bytes)"
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=60 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/" \
        "$build/fuzz-corpus/$corpus" "$@"
}

run ledgerfile_fuzzer "$reader_seconds" 4194304 ledger "$top/tests/fuzz/seeds/ledger" "$seeds/ledger"
run number_fuzzer "$number_seconds" 1048576 number "$top/tests/fuzz/seeds/number"
run journal_fuzzer "$journal_seconds" 4194304 journal "$top/tests/fuzz/seeds/journal" "$seeds/journal"
mkdir -p "$build/fuzz-corpus/copy"
run ledgercopy_fuzzer "$copy_seconds" 4194304 copy "$seeds/copy"
echo "Fuzzing found nothing."
