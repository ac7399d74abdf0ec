#!/usr/bin/env bash
# Takes the picture of Ferrulin.exe under Wine for the README: the Windows
# build (build-win, or $1) serves the demo data directory inside Wine's
# virtual desktop (the session's default desktop, the same as
# "explorer /desktop=NAME,1024x768 Ferrulin.exe" gives) on an Xvfb display, while hostsim.exe holds LABEL1 and
# LABEL2 like the host's spooler; two jobs are dropped into PREP1 and
# delivered, and the whole desktop (window, task bar, the tray icon) is saved
# to docs/ferrulin-windows.png (or $2). Needs scripts/test-windows.sh's build.
#
#   scripts/ferrulin-windows-screenshot.sh [build-win] [docs/ferrulin-windows.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
output=${2:-docs/ferrulin-windows.png}
hostsim_exe=$build/tools/hostsim/hostsim.exe
ferrulin_exe=$build/src/spooler/win/Ferrulin.exe
remote_exe=$build/tests/spooler/win/ferrulin_remote.exe
for program in "$hostsim_exe" "$ferrulin_exe" "$remote_exe"; do
  [ -x "$program" ] || {
    echo "$program is missing; run scripts/test-windows.sh first" >&2
    exit 1
  }
done

. scripts/lib/wine-desktop.sh
trap wine_ferrulin_demo_end EXIT

wine_ferrulin_demo "$build" shot
data=$wine_demo_dir
data_windows=$(wine_path "$data")

# Jobs are written elsewhere and renamed into the folder, as the host does.
mkdir "$data/stage"
for job in 1 2; do
  "$wine" "$hostsim_exe" drop "$data_windows" STAGE --items "$((job + 1))" >/dev/null </dev/null
  mv "$data/stage/JOB0001.spl" "$data/PREP1/JOB000$job.spl"
  wait_until 30 test -f "$data/LABEL1/JOB000$job.spl"
done
sleep 2 # the window paints its last lines
import -display "$DISPLAY" -window root "$output"
"$wine" "$remote_exe" exit >/dev/null </dev/null
echo "wrote $output"
