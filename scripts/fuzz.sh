#!/usr/bin/env bash
# Fuzzes the engine's whole open-decode-encode path with libFuzzer (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer), one fuzzer per output
# format, and prints each one's executions, crashes, timeouts, out-of-memory
# ends and peak memory.
#
#   scripts/fuzz.sh [MINUTES]           build build-fuzz and fuzz (default 10
#                                       minutes, shared out among the
#                                       formats); each format's corpus grows
#                                       in build-fuzz/fuzz-corpus/FORMAT,
#                                       failing inputs land in
#                                       build-fuzz/fuzz-artifacts/.../FORMAT
#   scripts/fuzz.sh --pass FUZZER SEEDS a short pass from a fixed seed (the
#                                       test build runs it); fails on any
#                                       crash, sanitizer report, input that
#                                       runs over 10 s or memory over the bound
#
# The memory bound is 100 MiB above the fuzzer's own baseline, which is
# measured first by running the seed corpus alone; no single allocation may
# exceed it either. Inputs that once failed are kept in tests/fuzz/regressions
# and always run along.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
regressions="$root/tests/fuzz/regressions"
bound_mb=100
pass_runs=500
# A small quarantine keeps freed memory from counting as use.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}"

corpora() {
  echo "$@"
  if compgen -G "$regressions/*" >/dev/null; then echo "$regressions"; fi
}

# Peak resident memory, in MiB, of the fuzzer running the seeds alone.
baseline_mb() {
  local fuzzer=$1 seeds=$2
  "$fuzzer" -runs=0 -max_len=16384 -print_final_stats=1 $(corpora "$seeds") 2>&1 |
    sed -n 's/^stat::peak_rss_mb: *//p'
}

# Runs the fuzzer once with the bounds; its log goes to $log. Returns its status.
fuzz_once() {
  local fuzzer=$1 limit=$2 artifacts=$3 log=$4
  shift 4
  "$fuzzer" -max_len=16384 -timeout=10 -rss_limit_mb="$limit" -malloc_limit_mb="$bound_mb" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" >"$log" 2>&1
}

executions() { sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -1; }
peak() { sed -n 's/^stat::peak_rss_mb: *//p' "$1" | tail -1; }
count() { find "$1" -maxdepth 1 -name "$2-*" | wc -l; }

report() {
  local artifacts=$1 runs=${2:-unknown} base=$4 peak_mb=${3:-$4}
  echo "executions: $runs"
  echo "crashes: $(($(count "$artifacts" crash) + $(count "$artifacts" leak)))"
  echo "timeouts (over 10 s): $(count "$artifacts" timeout)"
  echo "out of memory (over ${bound_mb} MiB above the baseline): $(count "$artifacts" oom)"
  echo "peak memory: ${peak_mb} MiB (baseline ${base} MiB, $((peak_mb - base)) MiB above it)"
}

if [ "${1:-}" = "--pass" ]; then
  fuzzer=$2 seeds=$3
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/corpus" "$work/artifacts"
  base=$(baseline_mb "$fuzzer" "$seeds")
  status=0
  fuzz_once "$fuzzer" $((base + bound_mb)) "$work/artifacts" "$work/log" -seed=1 \
    -runs=$pass_runs "$work/corpus" $(corpora "$seeds") || status=$?
  report "$work/artifacts" "$(executions "$work/log")" "$(peak "$work/log")" "$base"
  if [ "$status" -ne 0 ]; then
    # The report with its first stack frames, enough to find the fault from
    # the test log alone.
    grep -E -A24 'ERROR|runtime error|ALARM|out-of-memory' "$work/log" | grep -E -v '^INFO' | head -40
    grep -E 'SUMMARY' "$work/log" | head -5
    for artifact in "$work"/artifacts/*; do
      echo "failing input (base64): $(base64 -w0 "$artifact")"
    done
  fi
  exit "$status"
fi

minutes=${1:-10}
"$root/scripts/install-deps.sh"
build="$root/build-fuzz"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DMELVARO_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build "$build" >/dev/null
seeds="$build/tests/fuzz/seed-corpus"
stamp=$(date +%Y%m%d-%H%M%S)
fuzzers=("$build"/tests/fuzz/engine_fuzzer_*)
seconds_each=$((minutes * 60 / ${#fuzzers[@]}))
echo "Fuzzing the engine for $minutes minutes ($(nproc) cores), ${seconds_each} s per output format;"
echo "failing inputs go to $build/fuzz-artifacts/$stamp"
for fuzzer in "${fuzzers[@]}"; do
  format=${fuzzer##*_}
  corpus="$build/fuzz-corpus/$format"
  artifacts="$build/fuzz-artifacts/$stamp/$format"
  mkdir -p "$corpus" "$artifacts"
  base=$(baseline_mb "$fuzzer" "$seeds")
  end=$(($(date +%s) + seconds_each))
  total=0 peak_mb=$base round=0
  # libFuzzer ends at the first failure; the next round goes on with the
  # rest of the time.
  while [ "$(date +%s)" -lt "$end" ]; do
    round=$((round + 1))
    log="$artifacts/round-$round.log"
    fuzz_once "$fuzzer" $((base + bound_mb)) "$artifacts" "$log" \
      -max_total_time=$((end - $(date +%s))) "$corpus" $(corpora "$seeds") || true
    runs=$(executions "$log")
    total=$((total + ${runs:-0}))
    round_peak=$(peak "$log")
    if [ -n "$round_peak" ] && [ "$round_peak" -gt "$peak_mb" ]; then peak_mb=$round_peak; fi
  done
  echo "== to $format"
  report "$artifacts" "$total" "$peak_mb" "$base"
done
