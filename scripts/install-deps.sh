#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a fresh Debian 12
# machine:
#   scripts/install-deps.sh          everything (scripts/test.sh)
#   scripts/install-deps.sh --demo   only what scripts/demo.sh builds and runs:
#                                    the compiler, CMake, Ninja and Qt (the
#                                    Ferrulin window)
# Safe to run again: packages already present are skipped, and the package
# lists are refreshed only when something is missing.
set -euo pipefail

demo_packages=(
  # build
  cmake ninja-build g++ pkg-config
  # the Qt front ends
  qt6-base-dev
)
packages=(
  "${demo_packages[@]}"
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing (libFuzzer ships with clang's runtime)
  clang libclang-rt-14-dev
  # an outside DBF implementation to cross-check our tables
  python3-dbf python3-dbfread
  # the Qt windows' tests and screenshots under a virtual display
  xvfb xauth imagemagick
  # the label preview: the condensed bold face that draws the printer's
  # scalable font, and the outside barcode decoder its tests read back with
  fonts-dejavu-extra zbar-tools
  # the Windows build and its tests under Wine
  g++-mingw-w64-x86-64-posix wine64
  # the Windows installer (NSIS), and reading its shortcuts in the test
  nsis python3
  # Wine's own fonts (Tahoma, the font of the spooler's window)
  fonts-wine
)

if [ "${1:-}" = --demo ]; then
  packages=("${demo_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing ${missing[*]}; run this script as root" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
