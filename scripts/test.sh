#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the normal build
# (warnings as errors), the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of every fuzzer, and the Windows
# build with its tests under Wine. Ends with one line "tests: N passed, 0 failed".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

passed=0
# Runs CTest in build folder $1 and adds its tests to the count; stops the
# script on a failure.
run_ctest() {
  local log
  log=$(mktemp)
  ctest --test-dir "$1" --output-on-failure -j2 | tee "$log"
  passed=$((passed + $(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log" | tail -1)))
  rm -f "$log"
}

echo "== build and test"
# The folder and flags of scripts/demo.sh, with the tests and benchmarks: what
# the demo built is reused.
scripts/build.sh build
run_ctest build

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_WERROR=ON \
  -DVELMORA_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
run_ctest build-asan
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

echo "== fuzz smoke run"
scripts/fuzz.sh

echo "== Windows build and tests under Wine"
scripts/test-windows.sh

echo "tests: $passed passed, 0 failed"
