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

# Best of three runs of one mode: "WALL CPU" (processor time of the program
# and its workers, which it waits for).
best() {
  local mode=$1 wall= cpu=
  for run in 1 2 3; do
    rm -rf "$work/out"
    /usr/bin/time -f '%U %S' -o "$work/time" "$bench" "$mode" 2 "$work/out" "$work"/wavs/*.wav \
      >"$work/result"
    read -r w failed <"$work/result"
    [ "$failed" = 0 ] || { echo "$mode: $failed files failed" >&2; exit 1; }
    c=$(awk '{ print $1 + $2 }' "$work/time")
    wall=$(awk -v a="$w" -v b="${wall:-1e9}" 'BEGIN { print (a < b) ? a : b }')
    cpu=$(awk -v a="$c" -v b="${cpu:-1e9}" 'BEGIN { print (a < b) ? a : b }')
  done
  echo "$wall $cpu"
}

echo "$files WAVs of 3 s to MP3 128 kbit/s, 2 at once; cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"
read -r inproc inproc_cpu <<<"$(best in-process)"
read -r workers workers_cpu <<<"$(best workers)"
TIMEFORMAT='%R'
lame=$( { time (cd "$work/wavs" && ls *.wav | xargs -P2 -n1 lame --quiet -b 128 >/dev/null 2>&1); } 2>&1)
per() { awk -v t="$1" -v n="$files" 'BEGIN { printf "%.2f", t * 1000 / n }'; }
printf 'in-process tasks:  %7.3f s wall (%s ms per file), %7.3f s processor\n' "$inproc" \
  "$(per "$inproc")" "$inproc_cpu"
printf 'worker processes:  %7.3f s wall (%s ms per file), %7.3f s processor\n' "$workers" \
  "$(per "$workers")" "$workers_cpu"
printf 'workers cost:      %s ms wall, %s ms processor per file (wall ratio %.3f)\n' \
  "$(per "$(awk -v w="$workers" -v i="$inproc" 'BEGIN { print w - i }')")" \
  "$(per "$(awk -v w="$workers_cpu" -v i="$inproc_cpu" 'BEGIN { print w - i }')")" \
  "$(awk -v w="$workers" -v i="$inproc" 'BEGIN { print w / i }')"
printf 'xargs -P2 -n1 lame -b 128: %7.3f s wall; workers / lame %.3f\n' "$lame" \
  "$(awk -v w="$workers" -v l="$lame" 'BEGIN { print w / l }')"
