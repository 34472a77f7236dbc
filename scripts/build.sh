#!/usr/bin/env bash
# Configures and builds Kelvane into build/, or into $KELVANE_BUILD_DIR when set;
# extra arguments go to cmake's configure step.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KELVANE_BUILD_DIR:-$ROOT/build}"
cmake -S "$ROOT" -B "$BUILD" "$@" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
