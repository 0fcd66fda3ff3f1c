#!/usr/bin/env bash
# Benchmark of the loudness and verification stages: one 5-minute FLAC file
# converted to MP3 128 kbit/s plain (--no-verify), with the loudness
# pre-pass and its tags (--replaygain track), normalised (--normalize -16)
# and verified (--verify). Prints the processor time of each (best of
# BENCH_RUNS, default 3) and its ratio to the plain conversion; the aims are
# at most 1.15 for the pre-pass and 1.20 for verification. A benchmark, not
# a test: it fails only when a conversion fails.
#
#   scripts/bench-loudness.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build-bench, configured as a Release build when it does
# not exist yet; an existing build folder is used as it is configured.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/bench-program.sh
bench_program "${1:-build-bench}"

. scripts/noise-wav.sh
seconds=${BENCH_SECONDS:-300}
runs=${BENCH_RUNS:-3}
noise_wav "$work/album.wav" 44100 2 "$seconds"
"$program" -f flac --no-verify -o "$work" "$work/album.wav" >/dev/null
input="$work/album.flac"

# Prints the best "user+sys" seconds of the runs of one variant.
best() {
  local TIMEFORMAT='%U %S' times best=""
  for _ in $(seq "$runs"); do
    times=$( { time "$program" "$@" -o "$work/out" "$input" >/dev/null; } 2>&1)
    best=$(awk -v t="$times" -v b="$best" \
      'BEGIN { split(t, f, " "); s = f[1] + f[2]; if (b == "" || s < b) b = s; printf "%.3f", b }')
  done
  echo "$best"
}

echo "melvaro-convert: ${seconds} s of 16-bit stereo 44100 Hz FLAC to MP3 128 kbit/s," \
  "processor time, best of $runs"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
plain=$(best --no-verify)
printf "%-24s %7.2f s\n" "plain (--no-verify)" "$plain"
for variant in "--replaygain track" "--normalize -16" "--verify"; do
  # shellcheck disable=SC2086
  if [ "$variant" = "--verify" ]; then t=$(best --verify); else t=$(best --no-verify $variant); fi
  printf "%-24s %7.2f s  ratio %.3f\n" "$variant" "$t" "$(awk -v a="$t" -v b="$plain" 'BEGIN { print a / b }')"
done
