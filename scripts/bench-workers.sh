#!/usr/bin/env bash
# What worker processes cost per file: 200 three-second WAVs to MP3
# (128 kbit/s) at -j 2 through the component with its tasks in worker
# processes and in this process (best of 3 each), the per-file difference,
# and `xargs -P2 -n1 lame -b 128` on the same files as bench-library.sh
# measures it. A benchmark, not a test: it fails only when a run fails.
#   scripts/bench-workers.sh [BUILD_DIR] [FILES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
files=${2:-200}
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target worker_bench melvaro-worker -j "$(nproc)" >/dev/null
bench="$build/tests/bench/worker_bench"
work=$(mktemp -d "${TMPDIR:-/tmp}/melvaro-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

. scripts/noise-wav.sh
mkdir -p "$work/wavs"
noise_wav "$work/wavs/000.wav" 44100 2 3
for i in $(seq 1 $((files - 1))); do cp "$work/wavs/000.wav" "$(printf '%s/wavs/%03d.wav' "$work" "$i")"; done

best() {  # best wall time of three runs of one mode
  local mode=$1 best=
  for run in 1 2 3; do
    rm -rf "$work/out"
    read -r wall failed < <("$bench" "$mode" 2 "$work/out" "$work"/wavs/*.wav)
    [ "$failed" = 0 ] || { echo "$mode: $failed files failed" >&2; exit 1; }
    best=$(awk -v a="$wall" -v b="${best:-1e9}" 'BEGIN { print (a < b) ? a : b }')
  done
  echo "$best"
}

echo "$files WAVs of 3 s to MP3 128 kbit/s, 2 at once; cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"
inproc=$(best in-process)
workers=$(best workers)
TIMEFORMAT='%R'
lame=$( { time (cd "$work/wavs" && ls *.wav | xargs -P2 -n1 lame --quiet -b 128 >/dev/null 2>&1); } 2>&1)
printf 'in-process tasks:  %7.3f s (%.2f ms per file)\n' "$inproc" \
  "$(awk -v t="$inproc" -v n="$files" 'BEGIN { print t * 1000 / n }')"
printf 'worker processes:  %7.3f s (%.2f ms per file)\n' "$workers" \
  "$(awk -v t="$workers" -v n="$files" 'BEGIN { print t * 1000 / n }')"
printf 'workers cost:      %+7.2f ms per file (%.3f of in-process)\n' \
  "$(awk -v w="$workers" -v i="$inproc" -v n="$files" 'BEGIN { print (w - i) * 1000 / n }')" \
  "$(awk -v w="$workers" -v i="$inproc" 'BEGIN { print w / i }')"
printf 'xargs -P2 -n1 lame -b 128: %7.3f s; workers / lame %.3f\n' "$lame" \
  "$(awk -v w="$workers" -v l="$lame" 'BEGIN { print w / l }')"
