#!/usr/bin/env bash
# Benchmark of melvaro-convert: four 5-minute WAV files converted one at a time
# (-j 1) and two at a time (-j 2) in the same run. Prints both wall-clock times
# and their ratio (two jobs / one job); on two free cores the aim is 0.55 or
# less. A benchmark, not a test: it fails only when a conversion fails.
#
#   scripts/bench-convert.sh [BUILD_DIR]     (default: build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMELVARO_TESTS=OFF >/dev/null
cmake --build "$build" --target melvaro-convert -j "$(nproc)" >/dev/null
program="$build/converter/cli/melvaro-convert"

work=$(mktemp -d "${TMPDIR:-/tmp}/melvaro-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# 16-bit stereo 44100 Hz PCM: a canonical 44-byte header, then noise, which
# keeps the encoder as busy as dense music does.
seconds=300
data_bytes=$((seconds * 44100 * 2 * 2))
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
make_wav() {
  {
    printf 'RIFF'; le32 $((36 + data_bytes)); printf 'WAVEfmt '
    le32 16; printf '\x01\x00\x02\x00'; le32 44100; le32 $((44100 * 4)); printf '\x04\x00\x10\x00'
    printf 'data'; le32 "$data_bytes"
    head -c "$data_bytes" /dev/urandom
  } >"$1"
}
inputs=()
for i in 1 2 3 4; do
  make_wav "$work/track$i.wav"
  inputs+=("$work/track$i.wav")
done

run() {
  local jobs=$1 start end
  start=$(date +%s.%N)
  "$program" -j "$jobs" -o "$work/out-j$jobs" "${inputs[@]}" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

echo "melvaro-convert: 4 files of ${seconds} s (16-bit stereo 44100 Hz WAV) to MP3 128 kbit/s"
echo "cores available: $(nproc)"
t1=$(run 1)
t2=$(run 2)
printf -- "-j 1: %6.2f s\n" "$t1"
printf -- "-j 2: %6.2f s\n" "$t2"
awk -v a="$t1" -v b="$t2" 'BEGIN { printf "ratio (-j 2 / -j 1): %.3f  (aim: 0.55 or less on two free cores)\n", b / a }'
