#!/usr/bin/env bash
# Ferrulin.exe's size and its resident memory under Wine: after the start
# (configuration loaded, PREP1 and PREP2 claimed) and after N jobs (1,000 by
# default) delivered from PREP1 to LABEL1 while hostsim.exe holds LABEL1 and
# LABEL2. Runs in Wine's virtual desktop on an Xvfb display of its own; the
# resident size is the VmRSS of the Wine process that runs Ferrulin.exe (the
# program and the parts of Wine loaded into it), for the program stripped as
# the package ships it. Needs the Windows build
# (scripts/test-windows.sh).
#
#   bench/ferrulin_windows_memory.sh [build-win] [jobs]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
jobs=${2:-1000}
hostsim_exe=$build/tools/hostsim/hostsim.exe
ferrulin_exe=$build/src/spooler/win/Ferrulin.exe
remote_exe=$build/tests/spooler/win/ferrulin_remote.exe

. scripts/lib/wine-desktop.sh
shipped=""
end() {
  wine_ferrulin_demo_end
  if [ -n "$shipped" ]; then rm -rf "$shipped"; fi
}
trap end EXIT

rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

# The program as the package ships it: stripped. (Wine reads the debug
# information of an unstripped one into memory or not, depending on where
# its sections fall in the file, which would swing the figure by 13 MB.)
shipped=$(mktemp -d "${TMPDIR:-/tmp}/velmora-shipped-XXXXXX")
x86_64-w64-mingw32-strip -o "$shipped/Ferrulin.exe" "$ferrulin_exe"
echo "Ferrulin.exe: $(stat -c %s "$ferrulin_exe") bytes as built (with debug information)," \
  "$(stat -c %s "$shipped/Ferrulin.exe") bytes stripped"

wine_ferrulin_demo "$build" memory "$shipped/Ferrulin.exe"
data=$wine_demo_dir
data_windows=$(wine_path "$data")
ferrulin=$wine_ferrulin_pid
grep -q 'Ferrulin.exe' "/proc/$ferrulin/cmdline" || {
  echo "process $ferrulin is not Ferrulin.exe" >&2
  exit 1
}
sleep 2 # settled
echo "resident after start: $(rss_kib "$ferrulin") KiB"

# The jobs are written elsewhere and renamed into PREP1, as the host does.
mkdir "$data/stage"
"$wine" "$hostsim_exe" drop "$data_windows" STAGE --items 3 >/dev/null </dev/null
start=$(date +%s)
for ((i = 1; i <= jobs; i++)); do
  cp "$data/stage/JOB0001.spl" "$data/stage/next.tmp"
  mv "$data/stage/next.tmp" "$data/PREP1/M$i.spl"
done
delivered_all() { [ "$(find "$data/LABEL1" -name 'M*.spl' | wc -l)" -eq "$jobs" ]; }
wait_until 1200 delivered_all
seconds=$(($(date +%s) - start))
sleep 2 # settled
echo "resident after $jobs jobs: $(rss_kib "$ferrulin") KiB (all delivered within $seconds s)"
"$wine" "$remote_exe" exit >/dev/null </dev/null
wait "$ferrulin"
