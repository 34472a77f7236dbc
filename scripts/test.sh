#!/usr/bin/env bash
# Installs, builds and runs the whole test suite. Tests that need a window get
# a private Xvfb; without one they fail rather than skip.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh" -DKELVANE_TESTS=ON -DKELVANE_BENCHMARKS=ON "$@"
source "$ROOT/scripts/xvfb.sh"
start_private_xvfb 1920x1080
cd "${KELVANE_BUILD_DIR:-$ROOT/build}"
ctest --output-on-failure --timeout 900
