#!/usr/bin/env bash
# Takes the pictures of Dovetack.exe for the README under Wine's virtual
# desktop on a virtual display: both pages of the main window and the about
# box, over the demo data directory (hostsim.exe make-demo and the demo
# configuration), with a Cartavell.EXE beside the program so that the about
# box shows a version line.
#
#   scripts/dovetack-windows-screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR is the Windows cross build (build-win, made by
# scripts/test-windows.sh); the pictures go to OUTPUT_DIR (docs):
# dovetack-windows-setup.png, dovetack-windows-label-editor.png and
# dovetack-windows-about.png. Needs Xvfb, ImageMagick and Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-win}")
out=$(realpath "${2:-docs}")

. scripts/lib/wine-desktop.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-shots-XXXXXX")
cleanup() {
  wine_desktop_end
  rm -rf "$work"
}
trap cleanup EXIT
wine_desktop_start 1024x768

# The program in a folder of its own, with a Cartavell.EXE beside it.
mkdir "$work/program" "$work/data"
cp "$build/src/config/win/Dovetack.exe" "$work/program/"
cp "$build/pe_fixtures/english_2107.exe" "$work/program/Cartavell.EXE"
wine_demo_data "$build/tools/hostsim/hostsim.exe" "$work/data"

desktop=(explorer /desktop=velmora,1024x768)
(cd "$work/data" && exec "$wine" "${desktop[@]}" "$work/program/Dovetack.exe" >/dev/null 2>&1) &
driver() { "$wine" "$build/tests/config/dovetack_driver.exe" --desktop velmora "$@"; }
shot() {
  sleep 1 # the last repaint
  import -window root "$out/$1"
  echo "wrote $out/$1"
}
driver wait
driver select-row 0
shot dovetack-windows-setup.png
driver page 1
shot dovetack-windows-label-editor.png
driver page 0
driver about
shot dovetack-windows-about.png
driver close-about
driver close
