#!/usr/bin/env bash
# Installs, builds, stages the run directory (build/stage) and runs Kelvane there.
# With a display (DISPLAY set and reachable) it runs interactively. Without one it
# starts its own Xvfb, lets the scene run, saves a screenshot, quits with Escape
# as a user would, and prints the screenshot's path and the exit status.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh" -DKELVANE_TESTS=OFF -DKELVANE_BENCHMARKS=OFF
STAGE="$ROOT/build/stage"
cd "$STAGE"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./kelvane
fi

source "$ROOT/scripts/xvfb.sh"
start_private_xvfb 1280x720
SHOT="$STAGE/screenshot.png"
./kelvane &
GAME=$!
# The first run cooks every object's caches before the window shows anything.
WINDOW=""
for _ in $(seq 1 600); do
  WINDOW=$(xdotool search --name '^Kelvane$' 2>/dev/null | head -n 1 || true)
  [ -n "$WINDOW" ] && break
  kill -0 "$GAME" 2>/dev/null || break
  sleep 0.5
done
status=1
if [ -n "$WINDOW" ]; then
  sleep 4
  # The scene starts with its props near the top edge: pan up a little, as a
  # player would, so the screenshot shows the whole lit world.
  xdotool windowfocus --sync "$WINDOW"
  xdotool keydown Up
  sleep 4
  xdotool keyup Up
  sleep 3
  xwd -silent -id "$WINDOW" | convert xwd:- "$SHOT"
  xdotool keydown Escape
  sleep 1
  xdotool keyup Escape
fi
set +e
for _ in $(seq 1 120); do kill -0 "$GAME" 2>/dev/null || break; sleep 0.5; done
kill "$GAME" 2>/dev/null
wait "$GAME"
status=$?
set -e
echo "Screenshot: $SHOT"
echo "Exit status: $status"
exit "$status"
