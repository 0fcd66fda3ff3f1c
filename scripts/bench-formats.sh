#!/usr/bin/env bash
# Formats benchmark: converts one 5-minute 44100 Hz stereo WAV to each output
# format with melvaro-convert and with Debian's reference encoder for it at
# the same setting (lame, oggenc, opusenc, flac; sox for WAV), and prints the
# times, their ratio (target: at most 1.05 each) and the peak memory of each.
# AAC has no reference encoder in Debian's main archive: its figures stand
# alone. Each time is the best of RUNS runs (default 3), ours and the
# reference's taken in turn; the load average is printed with the figures.
#   scripts/bench-formats.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-3}

scripts/install-deps.sh
# The reference encoders and GNU time, needed by this benchmark only.
needed=()
for package in vorbis-tools opus-tools flac sox time; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    needed+=("$package")
done
if [ ${#needed[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${needed[@]}" >/dev/null
fi
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target melvaro-convert engine_bench >/dev/null
convert="$build/converter/cli/melvaro-convert"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input="$work/five.wav"
"$build/tests/bench/engine_bench" make-wav "$input" 44100 300

# One run of a command: "CPU WALL KIB" (CPU = user + system, steadier than
# wall time on a busy machine).
run_once() {
  local line wall user sys kib
  line=$(/usr/bin/time -f '%e %U %S %M' "$@" 2>&1 >/dev/null | tail -n 1)
  read -r wall user sys kib <<<"$line"
  echo "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $wall $kib"
}

# Keeps the best (least) processor and wall times and the largest resident
# size of the runs it is given, one "CPU WALL KIB" a line.
best_of() {
  awk 'NR == 1 || $1 < c { c = $1 } NR == 1 || $2 < w { w = $2 } $3 > k { k = $3 }
       END { print c, w, k }'
}

# $runs runs of a command: "CPU WALL KIB" as best_of gives them.
measure() {
  for _ in $(seq "$runs"); do run_once "$@"; done | best_of
}

# melvaro-convert's fixed cost (starting, loading Qt and the media libraries)
# on a file of 10 ms, shown so that short conversions can be read.
"$build/tests/bench/engine_bench" make-wav "$work/tiny.wav" 44100 0.01
read -r startup _ _ < <(measure "$convert" -o "$work/tiny" "$work/tiny.wav")

echo "Formats benchmark: 5 min 44100 Hz stereo WAV ($(nproc) cores, best of $runs paired runs," \
  "load average $(cut -d' ' -f1 /proc/loadavg))"
printf '%-21s %-22s %8s %8s %6s %9s %8s\n' format reference "cpu ours" "cpu ref" ratio \
  "KiB ours" "KiB ref"
# Ours and the reference run in turn, $runs times each, so that a change in
# the machine's load reaches both alike.
bench() {  # NAME REFERENCE-LABEL MELVARO-ARGS... -- REFERENCE-COMMAND...
  local name=$1 label=$2 ours=() reference=()
  shift 2
  while [ "$1" != -- ]; do ours+=("$1"); shift; done
  shift
  reference=("$@")
  if [ ${#reference[@]} -eq 0 ]; then
    rm -rf "$work/out"
    read -r ocpu _ okib < <(measure "$convert" -o "$work/out" "${ours[@]}" "$input")
    printf '%-21s %-22s %8.2f %8s %6s %9d %8s\n' "$name" "$label" "$ocpu" - - "$okib" -
    return
  fi
  : >"$work/ours.runs"
  : >"$work/ref.runs"
  for _ in $(seq "$runs"); do
    rm -rf "$work/out"
    run_once "$convert" -o "$work/out" "${ours[@]}" "$input" >>"$work/ours.runs"
    run_once "${reference[@]}" >>"$work/ref.runs"
  done
  read -r ocpu _ okib < <(best_of <"$work/ours.runs")
  read -r rcpu _ rkib < <(best_of <"$work/ref.runs")
  awk -v n="$name" -v r="$label" -v oc="$ocpu" -v rc="$rcpu" -v ok="$okib" -v rk="$rkib" 'BEGIN {
    printf "%-21s %-22s %8.2f %8.2f %6.3f %9d %8d\n", n, r, oc, rc, oc / rc, ok, rk }'
}
bench "mp3 128 kbit/s" "lame -b 128" -f mp3 -b 128 -- lame --quiet -b 128 "$input" "$work/ref.mp3"
bench "mp3 VBR V2" "lame -V 2" -f mp3 -q 2 -- lame --quiet -V 2 "$input" "$work/ref.mp3"
bench "ogg quality 5" "oggenc -q 5" -f ogg -q 5 -- oggenc --quiet -q 5 -o "$work/ref.ogg" "$input"
bench "opus 128 kbit/s" "opusenc --bitrate 128" -f opus -b 128 -- \
  opusenc --quiet --bitrate 128 "$input" "$work/ref.opus"
bench "flac level 5" "flac -5" -f flac -q 5 -- flac --silent -f -5 -o "$work/ref.flac" "$input"
bench "wav 16 bit" "sox -b 16" -f wav -- sox "$input" -b 16 "$work/ref.wav"
bench "m4a (AAC) 192 kbit/s" "(none in Debian main)" -f m4a -b 192 --
echo "ratio = processor time of melvaro-convert / the reference's (target <= 1.05)"
echo "melvaro-convert's fixed cost (start, Qt, loading the media libraries): $startup s"
echo "load average at the end: $(cut -d' ' -f1 /proc/loadavg)"
