#!/usr/bin/env bash
# Engine benchmark: converts 5-minute WAV files (44100 Hz and 48000 Hz stereo)
# to MP3 128 kbit/s through the engine and with Debian's lame, and prints each
# time and their ratio (targets: ratio <= 1.05); then compares the engine's
# peak memory for a 5-minute and a 60-minute input (target: within 5 MiB).
# Each figure is the best of RUNS runs (default 3), to damp a busy machine.
#   scripts/bench-engine.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-3}

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target engine_bench >/dev/null
bench="$build/tests/bench/engine_bench"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# Best wall time of $runs runs of a command, in seconds.
best_time() {
  local best="" start end t
  for _ in $(seq "$runs"); do
    start=$(now)
    "$@" >/dev/null 2>&1
    end=$(now)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}
peak_kib() { "$bench" convert "$1" "$2" | sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p'; }

echo "Engine benchmark ($(nproc) cores, best of $runs runs)"
for rate in 44100 48000; do
  input="$work/five-$rate.wav"
  "$bench" make-wav "$input" "$rate" 300
  ours=$(best_time "$bench" convert "$input" "$work/ours-$rate.mp3")
  if [ "$rate" = 44100 ]; then
    theirs=$(best_time lame --quiet -b 128 "$input" "$work/lame-$rate.mp3")
  else
    theirs=$(best_time lame --quiet -b 128 --resample 44.1 "$input" "$work/lame-$rate.mp3")
  fi
  ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')
  printf '5 min %5d Hz stereo: engine %7.3f s, lame %7.3f s, ratio %.3f (target <= 1.05)\n' \
    "$rate" "$ours" "$theirs" "$ratio"
done

"$bench" make-wav "$work/sixty.wav" 44100 3600
short=$(peak_kib "$work/five-44100.wav" "$work/peak-short.mp3")
long=$(peak_kib "$work/sixty.wav" "$work/peak-long.mp3")
printf 'peak memory: 5 min %d KiB, 60 min %d KiB, difference %d KiB (target <= 5120)\n' \
  "$short" "$long" $((long - short))
