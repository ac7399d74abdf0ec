#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the normal build
# (warnings as errors), the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of every fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== build and test"
scripts/build.sh build -DVELMORA_WERROR=ON
ctest --test-dir build --output-on-failure -j2

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_WERROR=ON \
  -DVELMORA_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  ctest --test-dir build-asan --output-on-failure -j2

echo "== fuzz smoke run"
scripts/fuzz.sh

echo "== Windows build and tests under Wine" && scripts/test-windows.sh
