#!/usr/bin/env bash
# Sourced by the run and test scripts: starts a private Xvfb on a free display
# number and exports DISPLAY; the server is stopped when the shell exits.

start_private_xvfb() {
  local size="${1:-1920x1080}"
  local number
  for number in $(seq 80 120); do
    [ -e "/tmp/.X${number}-lock" ] && continue
    Xvfb ":${number}" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":${number}"
    for _ in $(seq 1 50); do
      if xdpyinfo >/dev/null 2>&1; then
        trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "Could not start Xvfb" >&2
  return 1
}
