#!/usr/bin/env bash
# Builds the fuzzers (host state, preset file, preferences file) with clang and runs them
# through CTest: the seeds and former failures once, then a bounded run of the given
# number of seconds each.
#   tests/fuzz/fuzz.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
build_dir=${QUORVANE_FUZZ_BUILD_DIR:-build-fuzz}

cmake -S tests/fuzz -B "$build_dir" -G Ninja -DQUORVANE_FUZZ_SECONDS="$seconds"
cmake --build "$build_dir" --parallel "$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure

# What the bounded run reached: executions and coverage.
grep -h -E "^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units" "$build_dir/Testing/Temporary/LastTest.log" || true
