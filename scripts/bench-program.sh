# Sourced by the benchmarks of melvaro-convert. bench_program BUILD_DIR builds
# melvaro-convert there (configuring a Release build when the folder has none;
# an existing build folder is used as it is configured), sets `program` to it
# and `work` to a temporary folder that is removed on exit.
bench_program() {
  local build=$1
  [ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMELVARO_TESTS=OFF >/dev/null
  cmake --build "$build" --target melvaro-convert -j "$(nproc)" >/dev/null
  program="$build/converter/cli/melvaro-convert"
  work=$(mktemp -d "${TMPDIR:-/tmp}/melvaro-bench-XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
