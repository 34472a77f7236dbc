#!/usr/bin/env bash
# End-to-end test of the real program: runs the checks of e2e_program.py, then
# those of e2e_taps.py, against the staged run directory given, each on a
# private Xvfb of its own.
# Usage: run_e2e.sh <stage_dir>
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
STAGE="${1:?usage: run_e2e.sh <stage_dir>}"
for needed in kelvane b1.png b2.png assets/objects; do
  [ -e "$STAGE/$needed" ] || { echo "the stage lacks $needed: build the 'stage' target first"; echo "0 passed, 1 failed"; exit 1; }
done
source "$ROOT/scripts/xvfb.sh"
status=0
# Each in a subshell, whose end stops its Xvfb. A screen larger than the test
# window but small enough that the first run's full-screen window stays quick
# to draw on a software rasterizer; then one that holds a 1920 x 1080 window.
( start_private_xvfb 1024x768 && python3 "$HERE/e2e_program.py" "$STAGE" ) || status=1
( start_private_xvfb 1920x1080 && python3 "$HERE/e2e_taps.py" "$STAGE" ) || status=1
exit "$status"
