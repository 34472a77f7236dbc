#!/usr/bin/env bash
# Configures and builds Kelvane into build/ (extra arguments go to cmake's configure step).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$ROOT" -B "$ROOT/build" "$@" >/dev/null
cmake --build "$ROOT/build" -j"$(nproc)"
