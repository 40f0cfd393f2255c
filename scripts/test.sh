#!/usr/bin/env bash
# The whole check, as CI runs it, from scratch:
#  1. every include follows the one-way layering, and every file is opened
#     through the file door in base/ (two greps, well under a second); the
#     shell scripts pass shellcheck, the C++ files are laid out as
#     .clang-format says;
#  2. the Linux build, the count of its process-wide values, its test suite,
#     as released, and clang-tidy over the production code (.clang-tidy; no
#     finding allowed);
#  3. the programs alone built once more as they are packaged
#     (scripts/package.sh: Release, -O3, warnings as errors, as the optimiser
#     warns about what -O2 does not), their Debian packages checked with
#     lintian, installed into a throwaway root and used there
#     (scripts/check_install.sh);
#  4. one clang build under AddressSanitizer and UndefinedBehaviorSanitizer:
#     the test suite again, then every fuzz target for a few seconds;
#  5. the Windows programs cross-built with mingw-w64, and their tests under
#     wine (left out with --linux-only).
# Installs what it needs first (scripts/setup.sh). Every step's wall time is
# printed when it ends and all of them once more at the end, so that each
# run shows where its minutes went.
set -euo pipefail
cd "$(dirname "$0")/.."
windows=true
[[ ${1:-} == --linux-only ]] && windows=false

step_times=()
timed() {
  local name=$1 started=$SECONDS
  shift
  "$@"
  step_times+=("$(printf '%5d s  %s' $((SECONDS - started)) "$name")")
  echo "== $name: $((SECONDS - started)) s"
}
show_times() {
  echo "== Time of each step:"
  printf '%s\n' "${step_times[@]}"
  echo "$(printf '%5d s' "$SECONDS")  in all"
}
trap show_times EXIT

# Most tests wait on a line, a time-out or a child program rather than
# compute (a run at two at a time keeps the processors a quarter busy), so
# four run for each processor.
test_jobs=$(($(nproc) * 4))
linux_tests() { (cd build && ctest --output-on-failure -j"$test_jobs" --timeout 300); }
sanitizer_tests() {
  (cd build-clang && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$test_jobs" --timeout 300)
}
# Every build compiles its sources sixteen at a time as one (a unity build):
# the headers are read and their templates compiled once per group rather
# than once per file, which takes more than half of the compile time off.
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16)

if $windows; then
  timed "packages" scripts/setup.sh --fuzz --windows
else
  timed "packages" scripts/setup.sh --fuzz
fi
timed "layers" scripts/check_layers.sh
timed "file door" scripts/check_file_door.sh
timed "shell scripts" scripts/check_shell.sh
timed "format" scripts/check_format.sh

# Line tables only: failures keep their file and line, the build is faster.
# The prefix is the package's: the same build makes the Debian packages.
# The compile commands are clang-tidy's.
timed "Linux build" scripts/build.sh build "${unity[@]}" -DMERV_DEBUG_INFO=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
# The mutable values at namespace scope in the module's libraries: at most
# the three of scripts/process_values.allowed, each with why it is
# process-wide.
timed "process values" scripts/check_process_values.sh --limit 3 build
timed "Linux tests" linux_tests
timed "clang-tidy" scripts/check_tidy.sh build
# The packages as released (scripts/package.sh: the programs alone, -O3,
# warnings as errors, as the optimiser warns about what -O2 does not), then
# checked installed.
timed "Debian packages" scripts/package.sh build-release
timed "installed packages" scripts/check_install.sh build-release

# The fuzz targets need clang's instrumentation; the same build runs the
# test suite under the sanitizers, so it is built once for both.
timed "sanitizer build" scripts/build.sh build-clang "${unity[@]}" -DCMAKE_CXX_COMPILER=clang++-14 -DMERV_SANITIZE=ON \
  -DMERV_FUZZ=ON -DMERV_BENCHMARKS=OFF -DMERV_DEBUG_INFO=OFF
timed "sanitizer tests" sanitizer_tests
timed "fuzz targets" env MERV_FUZZ_BUILD=build-clang scripts/fuzz.sh 3

if $windows; then
  timed "Windows cross build" scripts/build_windows.sh build-windows "${unity[@]}" -DMERV_DEBUG_INFO=OFF
  timed "Windows tests under wine" scripts/test_windows.sh build-windows build
fi
