#!/usr/bin/env bash
# Benchmark of splitting an album: one WAV album (BENCH_SECONDS, default 1800)
# with a cue sheet of 12 tracks, converted by melvaro-convert into its tracks
# and, with --no-split, as one file; to MP3 128 kbit/s and to FLAC. Prints the
# processor time (user+sys, best of 3) of both and their ratio; the aim is
# 1.05 or less (the album is decoded once, not once per track). A benchmark,
# not a test: it fails only when a conversion fails.
#
#   scripts/bench-split-album.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build-bench, configured as a Release build when it does
# not exist yet; an existing build folder is used as it is configured.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/bench-program.sh
bench_program "${1:-build-bench}"

. scripts/noise-wav.sh
seconds=${BENCH_SECONDS:-1800}
tracks=12
noise_wav "$work/album.wav" 44100 2 "$seconds"
{
  echo 'PERFORMER "Bench"'
  echo 'TITLE "Noise"'
  echo 'FILE "album.wav" WAVE'
  for ((t = 1; t <= tracks; ++t)); do
    # Starts at whole CD frames, the last track running to the end.
    frames=$(((t - 1) * seconds * 75 / tracks))
    printf '  TRACK %02d AUDIO\n    TITLE "Part %d"\n' "$t" "$t"
    printf '    INDEX 01 %02d:%02d:%02d\n' $((frames / 75 / 60)) $((frames / 75 % 60)) $((frames % 75))
  done
} >"$work/album.cue"

# Prints the user+sys seconds of one run.
cpu_of() {
  local TIMEFORMAT='%U %S' times
  rm -rf "$work/out"
  times=$( { time "$program" -o "$work/out" "$@" "$work/album.wav" >/dev/null; } 2>&1)
  awk -v t="$times" 'BEGIN { split(t, f, " "); printf "%.3f", f[1] + f[2] }'
}
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

echo "melvaro-convert: a ${seconds} s album (16-bit stereo 44100 Hz WAV) with a ${tracks}-track cue sheet"
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
for format in mp3 flac; do
  # Whole and split take turns, so that a change of load touches both alike.
  whole="" split=""
  for _ in 1 2 3; do
    whole=$(smaller "$(cpu_of -f "$format" --no-split)" "$whole")
    split=$(smaller "$(cpu_of -f "$format")" "$split")
  done
  count=$(find "$work/out" -name "*.$format" | wc -l)
  [ "$count" -eq "$tracks" ] || { echo "expected $tracks tracks, got $count" >&2; exit 1; }
  printf "%-4s whole %7.2f s CPU, split into %d tracks %7.2f s CPU, ratio %.3f  (aim: 1.05 or less)\n" \
    "$format" "$whole" "$tracks" "$split" "$(awk -v a="$split" -v b="$whole" 'BEGIN { print a / b }')"
done
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
