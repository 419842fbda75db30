#!/bin/bash
# Installs what a fresh Debian 12 machine lacks, then builds the game into
# build/ (the game's data files land in build/data).
# Usage: tools/setup.sh            (called by tools/play.sh and tools/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake clang libclang-rt-14-dev python3
          freeglut3-dev libglu1-mesa-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libmeshoptimizer-dev sox xvfb xauth xdotool x11-utils imagemagick
          file man-db desktop-file-utils lintian libzstd-dev libxtst-dev nftables)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
