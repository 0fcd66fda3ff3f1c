#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# build, then one with AddressSanitizer and UndefinedBehaviorSanitizer; then
# the threaded tests (label "threaded") in a ThreadSanitizer build of only
# their programs; last, the engine fuzzer's build (clang) runs a short
# fixed-seed fuzzing pass. Fails when any build or any test run fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# LeakSanitizer stops on the stale dynamic TLS entries that dlclose leaves in
# programs that open and close the media libraries; it then scans TLS without them.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
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
echo "== ThreadSanitizer build: the threaded tests"
threaded_tests=(engine_run_lifecycle_test engine_split_encoding_test converter_component_test
  converter_batch_test converter_worker_test app_convert_test app_batch_controller_test)
cmake -S . -B build-tsan -G Ninja -DMELVARO_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-tsan -j "$jobs" --target "${threaded_tests[@]}"
# Any report fails its test; tests/tsan.supp names only Qt's uninstrumented
# internals. GLib, beneath Qt's event loop, allocates through plain malloc so
# that its own per-thread caches do not show up as races.
tsan_options="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
(cd build-tsan && G_SLICE=always-malloc TSAN_OPTIONS=$tsan_options \
  ctest --output-on-failure -j "$jobs" -L threaded)
echo "== Engine fuzzer build (clang): a short fixed-seed pass"
run_suite build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMELVARO_FUZZ=ON
