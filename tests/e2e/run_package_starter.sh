#!/usr/bin/env bash
# The engine as a package: installs it from this source tree into a scratch
# prefix, builds examples/starter and examples/village from copies outside the
# tree against it with find_package(Kelvane), and runs them in a private Xvfb:
# the starter with its stones centred in a 4:3 window, the village driven by a
# script that walks, drops a crate and removes it, down to a screenshot of the
# lit world; checks the installed font and tool, and that the tool runs.
# Usage: run_package_starter.sh <cmake> <c++ compiler>
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
CMAKE="${1:?usage: run_package_starter.sh <cmake> <c++ compiler>}"
COMPILER="${2:?usage: run_package_starter.sh <cmake> <c++ compiler>}"
TICKS=20
WORK="$(mktemp -d)"
PREFIX="$WORK/prefix"
cleanup() {
  kill "${XVFB_PID:-}" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}
# Runs a build step with its output kept aside, shown only when it fails.
step() {
  local name="$1"
  shift
  "$@" >"$WORK/$name.out" 2>&1 || { tail -n 40 "$WORK/$name.out"; fail "$name"; }
}

step engine-configure "$CMAKE" -S "$ROOT" -B "$WORK/engine" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$COMPILER" -DKELVANE_TESTS=OFF -DKELVANE_BENCHMARKS=OFF
step engine-build "$CMAKE" --build "$WORK/engine" --target kelvane_engine kelvane_normals -j2
step engine-install "$CMAKE" --install "$WORK/engine" --prefix "$PREFIX"
for installed in lib/libkelvane_engine.a include/kelvane/core/common.h include/kelvane/game/game.h \
  lib/cmake/Kelvane/KelvaneConfigVersion.cmake share/kelvane/assets/missing.png \
  share/kelvane/assets/shader/object_light.glsl share/kelvane/assets/shader/object_shadow.glsl \
  share/kelvane/assets/shader/tile_compose.glsl \
  share/kelvane/assets/font/GameFont.ttf share/kelvane/assets/font/GameFont-LICENSE.txt bin/kelvane_normals; do
  [ -e "$PREFIX/$installed" ] || fail "the install lacks $installed"
done
# The installed tool runs on its own: it explains itself and derives a stone's normals.
"$PREFIX/bin/kelvane_normals" --help | grep -q "^usage: kelvane_normals" || fail "the installed kelvane_normals --help"
mkdir "$WORK/derived"
cp "$ROOT/examples/starter/assets/objects/stone/"{diffuse.png,height.png,settings.ini} "$WORK/derived/"
step installed-normals "$PREFIX/bin/kelvane_normals" "$WORK/derived"
[ -s "$WORK/derived/normal.png" ] || fail "the installed kelvane_normals wrote no normal.png"
# Every installed header stands on its own: none needs one that is not installed.
while IFS= read -r header; do
  echo "#include \"${header#"$PREFIX/include/kelvane/"}\"" |
    "$COMPILER" -std=c++17 -fsyntax-only -DALLEGRO_UNSTABLE -I"$PREFIX/include/kelvane" -x c++ - \
      >"$WORK/header.out" 2>&1 || { cat "$WORK/header.out"; fail "$header does not compile on its own"; }
done < <(find "$PREFIX/include/kelvane" -name '*.h')
[ ! -e "$PREFIX/include/kelvane/render/draw_plan.h" ] || fail "the renderer's internals are installed"

# Builds the example game $1 from a copy outside the tree into $WORK/$1-build.
build_example() {
  cp -r "$ROOT/examples/$1" "$WORK/$1"
  step "$1-configure" "$CMAKE" -S "$WORK/$1" -B "$WORK/$1-build" -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$COMPILER" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  grep -qx "Kelvane_DIR:PATH=$PREFIX/lib/cmake/Kelvane" "$WORK/$1-build/CMakeCache.txt" ||
    fail "Kelvane was not found in $PREFIX"
  step "$1-build" "$CMAKE" --build "$WORK/$1-build" -j2
}
# Runs game $1 with the arguments that follow from another folder (it finds
# assets/ beside its executable); its output goes to $WORK/$1.out.
run_game() {
  local game="$1"
  shift
  local status=0
  (cd "$WORK" && "$WORK/$game-build/$game" "$@" >"$WORK/$game.out" 2>&1) || status=$?
  # Xvfb now and then refuses a connection made right after another.
  if [ "$status" -ne 0 ] && grep -q "fallback display couldn't be created" "$WORK/$game-build/game.log"; then
    echo "No display could be opened; trying once more."
    status=0
    (cd "$WORK" && "$WORK/$game-build/$game" "$@" >"$WORK/$game.out" 2>&1) || status=$?
  fi
  return "$status"
}
show_run() {
  cat "$WORK/$1.out"
  cat "$WORK/$1-build/game.log"
}
# Fails unless game $1's log holds each line that follows, and no missing resource.
expect_log() {
  local game="$1"
  shift
  for line in "$@"; do
    grep -qF -- "--> $line" "$WORK/$game-build/game.log" || { show_run "$game"; fail "game.log lacks \"$line\""; }
  done
  # A shader or image the package failed to provide is reported, not fatal.
  if grep -qi "couldn't" "$WORK/$game-build/game.log" "$WORK/$game.out"; then
    show_run "$game"
    fail "$game reported a missing resource"
  fi
}
# A small window keeps the software rasterizer quick.
window_size() {
  printf '[Display]\nMode=1\nWidth=%s\nHeight=%s\n' "$2" "$3" >"$WORK/$1-build/game_config.ini"
}

build_example starter
RUN="$WORK/starter-build"
set +e
"$RUN/starter" --ticks 0 >/dev/null 2>&1
[ $? -eq 2 ] || fail "a tick count of 0 is not refused with status 2"
set -e

source "$ROOT/scripts/xvfb.sh"
start_private_xvfb 1024x768
trap cleanup EXIT
# 4:3, where the output shows 1440 screen units of width rather than 16:9's 1920.
window_size starter 640 480
status=0
run_game starter --ticks "$TICKS" || status=$?
[ "$status" -eq 0 ] || { show_run starter; fail "the starter exited with status $status"; }
expect_log starter "Starter scene built: 9 stones." "Starter scene closed after $TICKS ticks."
for cache in normal_cooked.png shadow.png; do
  [ -e "$RUN/assets/objects/stone/$cache" ] || fail "the stone's $cache was not cooked in the run directory"
done
# A screenshot of the running starter: its stones, on its grey (60), in the middle.
(cd "$WORK" && exec "$RUN/starter" --ticks 600 >"$WORK/starter.out" 2>&1) &
STARTER=$!
for _ in $(seq 1 120); do
  grep -qF "Starter scene built" "$RUN/game.log" 2>/dev/null && break
  sleep 0.5
done
sleep 2
WINDOW=$(xdotool search --name '^Kelvane Starter$' | head -n 1)
xwd -silent -id "$WINDOW" | convert xwd:- "$WORK/starter.png"
wait "$STARTER" || { show_run starter; fail "the starter run for the screenshot failed"; }
python3 "$HERE/shot_check.py" centred "$WORK/starter.png" 60,60,60 || fail "the starter's stones are not centred at 4:3"
echo "The installed engine built and ran the starter for $TICKS ticks, its stones centred at 4:3."

build_example village
VILLAGE="$WORK/village-build/village"
set +e
"$VILLAGE" --ticks 0 >/dev/null 2>&1
[ $? -eq 2 ] || fail "the village does not refuse a tick count of 0 with status 2"
"$VILLAGE" --script "$WORK/no such script" >/dev/null 2>&1
[ $? -eq 2 ] || fail "the village does not refuse a missing script with status 2"
echo "5 press Jump" >"$WORK/bad.script"
"$VILLAGE" --script "$WORK/bad.script" >/dev/null 2>"$WORK/bad.out"
[ $? -eq 2 ] && grep -qF "bad.script:1:" "$WORK/bad.out" || fail "the village does not refuse an unknown key by its line"
set -e
# Into the village and a walk to the upper left; then, once the view has
# settled on the walker again, a crate dropped at its back, the pointer on the
# crate (a little right of the 640 x 360 output's centre), and Delete.
printf '%s\n' "2 press Enter" "20 down Left" "80 up Left" "150 press Space" "160 pointer 345 180" \
  "170 press Delete" "180 screenshot $WORK/village.png" >"$WORK/walk.script"
window_size village 640 360
VILLAGE_TICKS=200
status=0
run_game village --script "$WORK/walk.script" --ticks "$VILLAGE_TICKS" || status=$?
[ "$status" -eq 0 ] || { show_run village; fail "the village exited with status $status"; }
expect_log village "Title scene closed after 2 ticks." "Village built: 24 objects." "Spawned \"crate\" at (" \
  "Removed \"crate\" at (" "Screenshot saved to $WORK/village.png" "Village scene closed after $VILLAGE_TICKS ticks."
# The crate removed is the one dropped: both lines name one place.
spawned=$(sed -n 's/.*Spawned "crate" at \(.*\)\.$/\1/p' "$WORK/village-build/game.log")
removed=$(sed -n 's/.*Removed "crate" at \(.*\)\.$/\1/p' "$WORK/village-build/game.log")
[ "$spawned" = "$removed" ] || { show_run village; fail "the crate removed ($removed) is not the one dropped ($spawned)"; }
# The walker's red tunic in the middle of a lit, many-coloured world.
python3 "$HERE/shot_check.py" lit "$WORK/village.png" 168,64,52 || fail "the village's screenshot shows no lit world"
echo "The installed engine built the village; it walked, dropped a crate, removed it and saved a lit screenshot."
