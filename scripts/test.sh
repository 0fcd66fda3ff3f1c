#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# build, then one with AddressSanitizer and UndefinedBehaviorSanitizer; last,
# the engine fuzzer's build (clang) runs a short fixed-seed fuzzing pass.
# Fails when any build or any test run fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== Normal build"
run_suite build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
run_suite build-asan -DMELVARO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
echo "== Engine fuzzer build (clang): a short fixed-seed pass"
run_suite build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMELVARO_FUZZ=ON
