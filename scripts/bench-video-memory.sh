#!/usr/bin/env bash
# Video memory benchmark: converts a 10-minute 320x240 video with a tone
# through the engine with the "dvd" preset (720x576 MPEG-2, AC-3) and prints
# the process's resident memory along the run. A flat profile after the first
# minute shows that no picture buffer is allocated per frame.
#   scripts/bench-video-memory.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-600}

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target video_memory_bench >/dev/null
bench="$build/tests/bench/video_memory_bench"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Video memory benchmark: $seconds s of 320x240 at 25 fps to the dvd preset (PAL)"
"$bench" make "$work/input.mpg" "$seconds"
"$bench" convert "$work/input.mpg" "$work/output.mpg"
