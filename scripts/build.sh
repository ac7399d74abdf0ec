#!/usr/bin/env bash
# Configures and builds the project with warnings as errors, as the tests
# build it:
#   scripts/build.sh [DIR [CMAKE ARGS...]]   in DIR (build/), everything, the
#                                           tests and benchmarks included; the
#                                           extra arguments go to CMake's
#                                           configure step (and may leave
#                                           parts out: -DVELMORA_BENCH=OFF)
#   scripts/build.sh --demo                 in build/, only the programs
#                                           scripts/demo.sh runs (hostsim,
#                                           FerrulinConsole, the Ferrulin
#                                           window), without the test
#                                           programs; scripts/test.sh later
#                                           builds the rest in the same folder
#                                           and reuses them
set -euo pipefail
cd "$(dirname "$0")/.."
configure() { # <dir> <cmake args...>
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON "$@" >/dev/null
}
if [ "${1:-}" = --demo ]; then
  configure build -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
  cmake --build build --target hostsim FerrulinConsole Ferrulin
  exit 0
fi
dir=${1:-build}
shift || true
# The tests and benchmarks on again in a folder the demo configured.
configure "$dir" -DVELMORA_TESTS=ON -DVELMORA_BENCH=ON "$@"
cmake --build "$dir"
