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

# Best wall time and best processor time (user + system) of $runs runs of a
# command, in seconds: "WALL CPU". On a busy machine the processor time is
# the steadier figure.
best_times() {
  local best_wall="" best_cpu="" wall user sys cpu
  for _ in $(seq "$runs"); do
    read -r wall user sys < <({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
      best_wall=$wall
    fi
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
      best_cpu=$cpu
    fi
  done
  echo "$best_wall $best_cpu"
}
peak_kib() { "$bench" convert "$1" "$2" | sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p'; }

echo "Engine benchmark ($(nproc) cores, best of $runs runs)"
for rate in 44100 48000; do
  input="$work/five-$rate.wav"
  "$bench" make-wav "$input" "$rate" 300
  read -r ours_wall ours_cpu < <(best_times "$bench" convert "$input" "$work/ours-$rate.mp3")
  if [ "$rate" = 44100 ]; then
    read -r lame_wall lame_cpu < <(best_times lame --quiet -b 128 "$input" "$work/lame-$rate.mp3")
  else
    read -r lame_wall lame_cpu < <(best_times lame --quiet -b 128 --resample 44.1 "$input" "$work/lame-$rate.mp3")
  fi
  awk -v r="$rate" -v ow="$ours_wall" -v oc="$ours_cpu" -v lw="$lame_wall" -v lc="$lame_cpu" 'BEGIN {
    printf "5 min %5d Hz stereo: wall engine %6.3f s, lame %6.3f s, ratio %.3f; " \
           "cpu engine %6.3f s, lame %6.3f s, ratio %.3f (target <= 1.05)\n",
           r, ow, lw, ow / lw, oc, lc, oc / lc }'
done

"$bench" make-wav "$work/sixty.wav" 44100 3600
short=$(peak_kib "$work/five-44100.wav" "$work/peak-short.mp3")
long=$(peak_kib "$work/sixty.wav" "$work/peak-long.mp3")
printf 'peak memory: 5 min %d KiB, 60 min %d KiB, difference %d KiB (target <= 5120)\n' \
  "$short" "$long" $((long - short))
