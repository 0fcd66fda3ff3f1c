#!/usr/bin/env bash
# Benchmark of a long batch: 10,000 tiny WAV files (0.1 s, mono, 8 kHz)
# through melvaro-convert -j 2 under "ulimit -n 256", then the same with 100
# files. Prints the wall time and the peak resident memory of both runs and
# their difference (target: within 20 MiB, since a waiting file costs no
# descriptor and little memory). A benchmark, not a test: it fails only when
# a conversion fails.
#
#   scripts/bench-batch.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build-bench, configured as a Release build when it does
# not exist yet; an existing build folder is used as it is configured.
# BENCH_FILES changes the number of files of the long run (100 at least).
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/bench-program.sh
bench_program "${1:-build-bench}"

# 0.1 s of 16-bit mono 8000 Hz PCM.
. scripts/noise-wav.sh
noise_wav "$work/tiny.wav" 8000 1 0.1

# The copies come from one stream cut into pieces (one process, not one per
# file): the file doubled until there are enough, then split.
files=${BENCH_FILES:-10000}
[ "$files" -ge 100 ] || files=100  # the short run takes the first 100
size=$(stat -c %s "$work/tiny.wav")
cp "$work/tiny.wav" "$work/all"
while [ "$(stat -c %s "$work/all")" -lt $((size * files)) ]; do
  cat "$work/all" "$work/all" >"$work/twice" && mv "$work/twice" "$work/all"
done
mkdir -p "$work/in"
head -c $((size * files)) "$work/all" |
  split -b "$size" -d -a 5 --additional-suffix=.wav - "$work/in/"
rm "$work/all"

# Prints "WALL_SECONDS PEAK_KIB" of one run over the first $1 files.
run() {
  local count=$1 list=() i name
  for ((i = 0; i < count; i++)); do
    printf -v name '%s/in/%05d.wav' "$work" "$i"
    list+=("$name")
  done
  (
    ulimit -n 256
    /usr/bin/time -f '%e %M' -o "$work/time-$count" \
      "$program" -j 2 -o "$work/out-$count" "${list[@]}" >"$work/log-$count" 2>&1
  ) || { tail -5 "$work/log-$count" >&2; exit 1; }
  cat "$work/time-$count"
}

echo "melvaro-convert -j 2 under ulimit -n 256: tiny WAV files (0.1 s, mono, 8 kHz) to MP3"
load=$(cut -d' ' -f1-3 /proc/loadavg)
read -r wall_long peak_long <<<"$(run "$files")"
read -r wall_short peak_short <<<"$(run 100)"
printf '%6d files: %8.2f s wall, peak %7d KiB, %s\n' "$files" "$wall_long" "$peak_long" \
  "$(tail -1 "$work/log-$files")"
printf '%6d files: %8.2f s wall, peak %7d KiB, %s\n' 100 "$wall_short" "$peak_short" \
  "$(tail -1 "$work/log-100")"
printf 'peak memory difference: %d KiB (target <= 20480)\n' $((peak_long - peak_short))
echo "load average before the runs: $load"
