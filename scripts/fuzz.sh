#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ and runs them.
#   scripts/fuzz.sh                  every target for 15 seconds (a smoke run)
#   scripts/fuzz.sh TARGET SECONDS   one target for that long
# The corpus of each target lives in build-fuzz/corpus/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_FUZZ=ON -DVELMORA_SANITIZE=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF \
  -DVELMORA_GUI=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build build-fuzz

run() {
  local target=$1 seconds=$2
  mkdir -p "build-fuzz/corpus/$target"
  local seeds=()
  [ -d "fuzz/seeds/$target" ] && seeds=("fuzz/seeds/$target")
  local dict=()
  [ -f "fuzz/$target.dict" ] && dict=("-dict=fuzz/$target.dict")
  echo "fuzz: $target for ${seconds}s"
  # Under pipefail the pipeline's status is the fuzzer's; the filter alone never fails it.
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/ "${dict[@]}" "build-fuzz/corpus/$target" "${seeds[@]}" 2>&1 |
    { grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|ERROR|Done)' || true; }; then
    echo "fuzz: $target FAILED (its input is in build-fuzz/)" >&2
    return 1
  fi
}

if [ $# -ge 1 ]; then
  run "$1" "${2:-600}"
else
  for target in $(find build-fuzz/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort); do
    run "$target" 15
  done
fi
