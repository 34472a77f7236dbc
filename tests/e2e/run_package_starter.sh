#!/usr/bin/env bash
# The engine as a package: installs it from this source tree into a scratch
# prefix, builds examples/starter from a copy outside the tree against it with
# find_package(Kelvane), and runs the starter in a private Xvfb for a few ticks;
# checks the installed font and tool, and that the tool runs.
# Usage: run_package_starter.sh <cmake> <c++ compiler>
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
CMAKE="${1:?usage: run_package_starter.sh <cmake> <c++ compiler>}"
COMPILER="${2:?usage: run_package_starter.sh <cmake> <c++ compiler>}"
TICKS=20
WORK="$(mktemp -d)"
PREFIX="$WORK/prefix"
RUN="$WORK/starter-build"
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

cp -r "$ROOT/examples/starter" "$WORK/starter"
step starter-configure "$CMAKE" -S "$WORK/starter" -B "$RUN" -DCMAKE_PREFIX_PATH="$PREFIX" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$COMPILER" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
grep -qx "Kelvane_DIR:PATH=$PREFIX/lib/cmake/Kelvane" "$RUN/CMakeCache.txt" || fail "Kelvane was not found in $PREFIX"
step starter-build "$CMAKE" --build "$RUN" -j2

set +e
"$RUN/starter" --ticks 0 >/dev/null 2>&1
[ $? -eq 2 ] || fail "a tick count of 0 is not refused with status 2"
set -e

# A small window keeps the software rasterizer quick.
printf '[Display]\nMode=1\nWidth=640\nHeight=360\n' >"$RUN/game_config.ini"
source "$ROOT/scripts/xvfb.sh"
start_private_xvfb 1024x768
trap cleanup EXIT
# Started from another folder: the game finds assets/ beside its executable.
run_starter() {
  (cd "$WORK" && "$RUN/starter" --ticks "$TICKS" >"$WORK/starter.out" 2>&1)
}
status=0
run_starter || status=$?
# Xvfb now and then refuses a connection made right after another.
if [ "$status" -ne 0 ] && grep -q "fallback display couldn't be created" "$RUN/game.log"; then
  echo "No display could be opened; trying once more."
  status=0
  run_starter || status=$?
fi
show_run() {
  cat "$WORK/starter.out"
  cat "$RUN/game.log"
}
[ "$status" -eq 0 ] || { show_run; fail "the starter exited with status $status"; }
for line in "Starter scene built: 9 stones." "Starter scene closed after $TICKS ticks."; do
  grep -qF -- "--> $line" "$RUN/game.log" || { show_run; fail "game.log lacks \"$line\""; }
done
# A shader or image the package failed to provide is reported, not fatal.
if grep -qi "couldn't" "$RUN/game.log" "$WORK/starter.out"; then
  show_run
  fail "the starter reported a missing resource"
fi
for cache in normal_cooked.png shadow.png; do
  [ -e "$RUN/assets/objects/stone/$cache" ] || fail "the stone's $cache was not cooked in the run directory"
done
echo "The installed engine built and ran the starter for $TICKS ticks."
