#!/usr/bin/env bash
# Benchmark of one long file on several encoders: a WAV of BENCH_MINUTES
# (default 60) minutes of noise, which keeps an encoder as busy as dense music
# does, to MP3 (the default, 128 kbit/s CBR) with melvaro-convert -j 8 and
# --threads-per-file 1, then 2, then 4 and 8 where the machine has the cores.
# Prints each run's wall time, processor time (user + system: the machine is
# shared, so a slow wall time with the same processor time means others ran),
# peak memory and its wall-time ratio to the run on one encoder (aim: 0.55 or
# less for 2 encoders on two cores). Then the join figures of split_bench: a
# music-like signal encoded whole and split, compared with the source. A
# benchmark, not a test: it fails only when a conversion fails.
#
#   scripts/bench-split.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build-bench, configured as a Release build when it
# does not exist yet; an existing build folder is used as it is configured.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target melvaro-convert split_bench -j "$(nproc)" >/dev/null
program="$build/converter/cli/melvaro-convert"
work=$(mktemp -d "${TMPDIR:-/tmp}/melvaro-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

minutes=${BENCH_MINUTES:-60}
. scripts/noise-wav.sh
noise_wav "$work/long.wav" 44100 2 $((minutes * 60))

# Prints one line for a conversion on $1 encoders with the options after it;
# $base is the wall time the ratio is taken to.
run() {
  local encoders=$1 name
  shift
  name="$encoders$*"
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
    "$program" -j 8 --threads-per-file "$encoders" "$@" -o "$work/out-$name" "$work/long.wav" \
    >"$work/log" 2>&1 || { tail -5 "$work/log" >&2; exit 1; }
  read -r wall user system peak <"$work/time"
  [ -n "$base" ] || base=$wall
  awk -v n="$encoders" -v w="$wall" -v u="$user" -v s="$system" -v p="$peak" -v b="$base" \
    -v bytes="$(stat -c %s "$work/out-$name/long.mp3")" -v how="${*:-verified}" 'BEGIN {
      printf "%d encoder(s), %-11s %8.2f s wall, %8.2f s processor, peak %7d KiB, wall ratio %.2f, %d bytes\n",
        n, how ":", w, u + s, p, w / b, bytes }'
  rm -rf "$work/out-$name"
}

cores=$(nproc)
echo "melvaro-convert: $minutes min of 44.1 kHz stereo WAV to MP3 128 kbit/s on $cores cores"
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
# The encoding alone, then as a user runs it: the default --verify decodes
# each output once more, on one core, before it is put in place.
base=""
for encoders in 1 2 4 8; do
  [ "$encoders" -le 2 ] || [ "$encoders" -le "$cores" ] || continue
  run "$encoders" --no-verify
done
base=""
run 1
run 2
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/tests/bench/split_bench" "$work" 300 2>/dev/null
