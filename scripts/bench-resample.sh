#!/usr/bin/env bash
# Resampling benchmark: one 5-minute 48000 Hz stereo WAV (noise) converted by
# melvaro-convert to 44100 Hz WAV (16 bit) and MP3 (128 kbit/s), where the
# converter's resampling filter is a large part of the work; and the same
# with an earlier melvaro-convert beside it, when BEFORE names one (a
# program, or a git revision of this repository, which is then built in a
# temporary folder). Prints the best processor time of RUNS runs (default 5),
# the two alternating so that a busy machine weighs on both alike, and, with
# sox installed, sox's own resampler (its default, "rate -h") to 44100 Hz WAV.
#   scripts/bench-resample.sh [BUILD_DIR]
#   BEFORE=REVISION|PROGRAM scripts/bench-resample.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-5}
source scripts/noise-wav.sh

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target melvaro-convert >/dev/null
after="$build/converter/cli/melvaro-convert"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
before=""
if [ -n "${BEFORE:-}" ]; then
  if [ -x "$BEFORE" ]; then
    before=$BEFORE
  else
    mkdir "$work/src"
    git archive "$BEFORE" | tar -x -C "$work/src"
    cmake -S "$work/src" -B "$work/src/build" -G Ninja >/dev/null
    cmake --build "$work/src/build" --target melvaro-convert >/dev/null
    before="$work/src/build/converter/cli/melvaro-convert"
  fi
fi

input="$work/five48.wav"
noise_wav "$input" 48000 2 300

cpu() {  # PROGRAM FORMAT: processor time of one conversion
  /usr/bin/time -o "$work/time" -f '%U %S' "$1" -f "$2" --rate 44100 -o "$work/out" "$input" \
    >/dev/null 2>&1
  awk '{ print $1 + $2 }' "$work/time"
}
less() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

echo "Resampling benchmark: 5 min 48000 Hz stereo to 44100 Hz ($(nproc) cores, best of $runs)"
printf '%-6s %10s %10s %7s\n' format "cpu before" "cpu after" ratio
for format in wav mp3; do
  best_before="" best_after=""
  for _ in $(seq "$runs"); do
    [ -n "$before" ] && best_before=$(less "$(cpu "$before" "$format")" "$best_before")
    best_after=$(less "$(cpu "$after" "$format")" "$best_after")
  done
  if [ -n "$before" ]; then
    awk -v f="$format" -v b="$best_before" -v a="$best_after" \
      'BEGIN { printf "%-6s %10.2f %10.2f %7.3f\n", f, b, a, a / b }'
  else
    printf '%-6s %10s %10.2f %7s\n' "$format" - "$best_after" -
  fi
done
if command -v sox >/dev/null; then
  best=""
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$work/time" -f '%U %S' sox "$input" -r 44100 "$work/sox.wav" 2>/dev/null
    best=$(less "$(awk '{ print $1 + $2 }' "$work/time")" "$best")
  done
  printf '%-6s %10s %10.2f %7s  (sox -r 44100)\n' wav - "$best" -
fi
