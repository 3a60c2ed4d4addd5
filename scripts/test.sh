#!/usr/bin/env bash
# Runs every test: the whole suite under AddressSanitizer and UBSan, bounded fuzz runs
# over the documents read from outside, then the normal suite, whose CTest summary ends the
# output. Any failure stops the run with a non-zero exit.
#   QUORVANE_FUZZ_SECONDS   length of the fuzz run (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

# A test that hangs fails after this many seconds instead of holding up the run.
test_timeout=300

build_dir=${QUORVANE_BUILD_DIR:-build}
asan_dir=${QUORVANE_ASAN_BUILD_DIR:-build-asan}
fuzz_seconds=${QUORVANE_FUZZ_SECONDS:-60}
jobs=$(nproc)

echo "== Test suite under AddressSanitizer and UBSan"
# Release code paths (no framework assertions), unoptimised: the sanitizers see the
# same code, and the instrumented framework builds several times faster than at -O2.
cmake -S . -B "$asan_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -g -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O0 -g -DNDEBUG" \
    -DQUORVANE_SANITIZERS=ON -DQUORVANE_BUILD_BENCHMARKS=OFF
cmake --build "$asan_dir" --parallel "$jobs"
# The GCC 12 runtime's hook on __tls_get_addr guesses where a loaded bundle's thread-local
# block lies by the layout of glibc 2.19: for a block that starts 16 bytes into a page it reads a
# bogus range, and LeakSanitizer crashes at exit. Without the hook nothing is lost: the loader
# allocates those blocks, and LeakSanitizer counts what the loader allocates as live and scans it.
UBSAN_OPTIONS=print_stacktrace=1 ASAN_OPTIONS=intercept_tls_get_addr=0 LSAN_OPTIONS=print_suppressions=0 \
    ctest --test-dir "$asan_dir" --output-on-failure --parallel "$jobs" --timeout "$test_timeout"

echo "== Fuzzing the documents read from outside, ${fuzz_seconds} s each"
bash tests/fuzz/fuzz.sh "$fuzz_seconds"

echo "== Test suite"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" --parallel "$jobs"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" --timeout "$test_timeout"
