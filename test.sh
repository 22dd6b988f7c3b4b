#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, offscreen.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh --tests
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
cmake --build build -j2
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
export QTWEBENGINE_DISABLE_SANDBOX=1
cd build
ctest --output-on-failure -j2 --timeout 300
