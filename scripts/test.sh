#!/bin/sh
# Installs what is missing, builds the program and runs every test twice: once as built for
# use, once under AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

sh scripts/install-deps.sh test
jobs=$(nproc)

# Line tables (-g1) are all a failing test's backtrace needs, and much quicker to build than
# full debugging information.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DVELLUMAR_BUILD_BENCH=ON >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DVELLUMAR_SANITIZE=ON -DVELLUMAR_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1"
# GCC 12's LeakSanitizer crashes while scanning glibc's dynamic thread-local storage on a fresh
# Debian 12; use_tls=0 skips that scan, and lsan.supp names what system libraries keep there.
export LSAN_OPTIONS="use_tls=0:suppressions=$top/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && ctest --output-on-failure -j "$jobs")

# The ledger reader and the number conversions under libFuzzer (clang), for a bounded time.
sh tests/fuzz/run.sh
