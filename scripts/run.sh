#!/usr/bin/env bash
# Installs, builds, stages the run directory (build/stage) and runs Kelvane there.
# With a display (DISPLAY set and reachable) it runs interactively. Without one it
# starts its own Xvfb, pans the view up by a number of taps of Up, saves a
# screenshot once the view has settled, quits with Escape as a user would, and
# prints the screenshot's path and the exit status.
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
PAN_TAPS=72
./kelvane &
GAME=$!
# The window shows once the program has set up; the first run then cooks every
# object's caches while the scene loads.
WINDOW=""
for _ in $(seq 1 600); do
  WINDOW=$(xdotool search --name '^Kelvane$' 2>/dev/null | head -n 1 || true)
  [ -n "$WINDOW" ] && break
  kill -0 "$GAME" 2>/dev/null || break
  sleep 0.5
done
status=1
if [ -n "$WINDOW" ]; then
  # Keys count once the scene has built its world (the demo logs "Objects created").
  for _ in $(seq 1 600); do
    grep -qF "Objects created" game.log 2>/dev/null && break
    kill -0 "$GAME" 2>/dev/null || break
    sleep 0.5
  done
  sleep 1
  # The scene starts with its props near the top edge: pan up, as a player
  # would, so the screenshot shows the whole lit world. Each tap of Up counts
  # on exactly one tick and moves the view's target one step (5 screen units,
  # twice that when frames take two ticks or more), so the pan goes about as
  # far at any frame rate, where holding the key for a time would not.
  xdotool windowfocus --sync "$WINDOW"
  xdotool key --delay 30 --repeat "$PAN_TAPS" Up
  # The view eases to its target: the screenshot is taken once two in a row agree.
  PREVIOUS="$STAGE/screenshot.previous.xwd"
  CURRENT="$STAGE/screenshot.current.xwd"
  xwd -silent -id "$WINDOW" >"$PREVIOUS"
  for _ in $(seq 1 60); do
    sleep 0.5
    xwd -silent -id "$WINDOW" >"$CURRENT"
    cmp -s "$PREVIOUS" "$CURRENT" && break
    mv "$CURRENT" "$PREVIOUS"
  done
  convert "xwd:$CURRENT" "$SHOT"
  rm -f "$PREVIOUS" "$CURRENT"
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
