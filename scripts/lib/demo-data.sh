# shellcheck shell=bash
# Sourced by the scripts that run the programs on a data directory made by
# hostsim, on Linux (scripts/demo.sh, tests/hostile_tour.sh) and under Wine
# (scripts/lib/wine-desktop.sh): a bounded wait, and the demo data directory.
#
#   . scripts/lib/demo-data.sh
#   demo_data build/tools/hostsim/hostsim demo-data
#   wait_until 10 test -e demo-data/LABEL1/JOB0001.spl

velmora_demo_files=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../../demo")

# wait_until <seconds> <command...>: true once the command succeeds, false
# when it has not within the time.
wait_until() {
  local tries=$(($1 * 10))
  shift
  until "$@"; do
    ((tries-- > 0)) || return 1
    sleep 0.1 # the file system and the other programs' output have no waiter to hand
  done
}

# demo_files <folder>: the demo configuration (PREP1 -> LABEL1, PREP2 ->
# LABEL2, each the other's backup) and label design, into the data directory.
demo_files() {
  cp "$velmora_demo_files/VelmoraLabelConfig.XML" "$velmora_demo_files/LabelDesign.txt" "$1"/
}

# demo_data <hostsim> <folder>: the host's tables and printer folders
# (hostsim make-demo) with the demo configuration and design.
demo_data() {
  "$1" make-demo "$2" >/dev/null && demo_files "$2"
}
