#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts the player on the
# bundled sample book. Extra arguments go to the player.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build -j2 --target qyrplayer
exec build/src/qyrplayer --book book "$@"
