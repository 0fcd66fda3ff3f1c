#!/usr/bin/env bash
# Benchmark of melvaro-convert: four 5-minute WAV files converted one at a time
# (-j 1) and two at a time (-j 2) in the same run. Prints both wall-clock times
# and their ratio (two jobs / one job); on two free cores the aim is 0.55 or
# less. A benchmark, not a test: it fails only when a conversion fails.
#
#   scripts/bench-convert.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build-bench, configured as a Release build when it does
# not exist yet; an existing build folder is used as it is configured.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/bench-program.sh
bench_program "${1:-build-bench}"

# 16-bit stereo 44100 Hz PCM.
. scripts/noise-wav.sh
seconds=${BENCH_SECONDS:-300}
make_wav() { noise_wav "$1" 44100 2 "$seconds"; }
inputs=()
for i in 1 2 3 4; do
  make_wav "$work/track$i.wav"
  inputs+=("$work/track$i.wav")
done

# Prints "wall user+sys" seconds of one run.
run() {
  local jobs=$1 TIMEFORMAT='%R %U %S' times
  times=$( { time "$program" -j "$jobs" -o "$work/out-j$jobs" "${inputs[@]}" >/dev/null; } 2>&1)
  awk -v t="$times" 'BEGIN { split(t, f, " "); printf "%.3f %.3f", f[1], f[2] + f[3] }'
}

echo "melvaro-convert: 4 files of ${seconds} s (16-bit stereo 44100 Hz WAV) to MP3 128 kbit/s"
echo "cores available: $(nproc)"
load=$(cut -d' ' -f1-3 /proc/loadavg)
read -r t1 cpu1 <<<"$(run 1)"
read -r t2 cpu2 <<<"$(run 2)"
printf -- "-j 1: %7.2f s wall, %7.2f s CPU (%.2f cores busy)\n" "$t1" "$cpu1" "$(awk -v c="$cpu1" -v w="$t1" 'BEGIN { print c / w }')"
printf -- "-j 2: %7.2f s wall, %7.2f s CPU (%.2f cores busy)\n" "$t2" "$cpu2" "$(awk -v c="$cpu2" -v w="$t2" 'BEGIN { print c / w }')"
awk -v a="$t1" -v b="$t2" 'BEGIN { printf "ratio (-j 2 / -j 1): %.3f  (aim: 0.55 or less on two free cores)\n", b / a }'
echo "load average before the runs: $load"
