#!/usr/bin/env bash
# End-to-end test of the real program: starts a private Xvfb and runs the
# checks of e2e_program.py against the staged run directory given.
# Usage: run_e2e.sh <stage_dir>
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
STAGE="${1:?usage: run_e2e.sh <stage_dir>}"
for needed in kelvane b1.png b2.png assets/objects; do
  [ -e "$STAGE/$needed" ] || { echo "the stage lacks $needed: build the 'stage' target first"; echo "0 passed, 1 failed"; exit 1; }
done
# A screen larger than the test window but small enough that the first run's
# full-screen window stays quick to draw on a software rasterizer.
source "$ROOT/scripts/xvfb.sh"
start_private_xvfb 1024x768
python3 "$HERE/e2e_program.py" "$STAGE"
