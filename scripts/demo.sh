#!/usr/bin/env bash
# Sets up the machine, builds, and merges the test print's sample job with the
# demo label design (demo/LabelDesign.txt), printing the merged label.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build >/dev/null
echo "== demo/LabelDesign.txt merged with the test print's sample job:"
build/tools/mergelabel/mergelabel demo/LabelDesign.txt
