#!/usr/bin/env bash
# Builds hummbox and starts it in its run directory (build/run), beside font.bmp.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
cd build/run
exec ./hummbox
