#!/usr/bin/env bash
# Sample repair benchmark: the time the audio path's repairer adds to a clean
# 5-minute stereo floating-point input (which it must leave untouched); set
# it against bench-engine.sh's figure for converting such a file.
#   scripts/bench-repair.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target repair_bench >/dev/null
"$build/tests/bench/repair_bench"
