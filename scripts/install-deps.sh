#!/usr/bin/env bash
# Installs every Debian 12 package Kelvane needs to build, run and test.
# Run as root. Safe to run again: apt skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  liballegro5-dev liballegro-image5-dev liballegro-ttf5-dev  # Allegro 5 with image, font, TTF, primitives
  libgl1-mesa-dev libgl1-mesa-dri                              # OpenGL headers and Mesa's software GL
  googletest libgtest-dev libbenchmark-dev                     # tests and benchmarks
  fonts-dejavu-core                                            # staged as assets/font/GameFont.ttf
  xvfb xdotool x11-apps x11-utils imagemagick                  # headless X, input, screenshots
  python3                                                      # end-to-end test helpers
)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
