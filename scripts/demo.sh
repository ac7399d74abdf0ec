#!/usr/bin/env bash
# The label spooler on a ready-made demo data directory (demo-data/):
#   - sets up the machine and builds the programs it runs (not the tests:
#     scripts/test.sh adds those in the same build folder),
#   - makes the data directory with hostsim (RM's printer tables and folders),
#     with the demo configuration (PREP1 -> LABEL1, PREP2 -> LABEL2, each the
#     other's backup) and label design from demo/,
#   - starts a simulated host spooler holding LABEL1's and LABEL2's locks,
#   - starts the spooler (the Ferrulin window where a display exists, else
#     FerrulinConsole), drops a sample job into PREP1 and shows the merged job
#     delivered to LABEL1.
# It then runs until Ctrl+C, which ends everything and releases every lock.
# Drop more jobs meanwhile with: build/tools/hostsim/hostsim drop demo-data PREP1
# With --once it ends by itself after the first job.
set -euo pipefail
cd "$(dirname "$0")/.."
once=false
[ "${1:-}" = "--once" ] && once=true

scripts/install-deps.sh --demo
echo "== building the programs"
scripts/build.sh --demo >/dev/null

. scripts/lib/demo-data.sh
hostsim=build/tools/hostsim/hostsim
data=$PWD/demo-data
rm -rf "$data"
demo_data "$hostsim" "$data"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 0' INT TERM

for printer in LABEL1 LABEL2; do
  "$hostsim" hold "$data" "$printer" >/dev/null &
  pids+=($!)
done
printer_up() { [ "$("$hostsim" probe "$data" "$1")" = up ]; }
if ! { wait_until 30 printer_up LABEL1 && wait_until 30 printer_up LABEL2; }; then
  echo "the simulated host spooler did not hold LABEL1 and LABEL2" >&2
  exit 1
fi
echo "== a simulated host spooler holds LABEL1 and LABEL2"

if [ -n "${DISPLAY:-}" ] && [ -x build/src/spooler/app/Ferrulin ]; then
  echo "== starting the Ferrulin window in $data"
  (cd "$data" && exec "$OLDPWD/build/src/spooler/app/Ferrulin") &
else
  echo "== starting FerrulinConsole in $data (no display)"
  build/src/spooler/console/FerrulinConsole "$data" &
fi
pids+=($!)
wait_until 30 printer_up PREP1 || { echo "the spooler did not claim PREP1" >&2; exit 1; }

job=$("$hostsim" drop "$data" PREP1)
echo "== dropped $job"
name=$(basename "${job//\\//}")
wait_until 10 test -f "$data/LABEL1/$name" ||
  { echo "the job was not delivered to LABEL1 within 10 s" >&2; exit 1; }
echo "== merged job delivered to LABEL1/$name:"
cat "$data/LABEL1/$name" | tr -d '\r'
$once && exit 0
echo "== running; drop more jobs with: $hostsim drop $data PREP1   (Ctrl+C ends)"
wait
