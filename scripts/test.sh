#!/usr/bin/env bash
# The whole check, as CI runs it, from scratch:
#  1. every include follows the one-way layering, and every file is opened
#     through the file door in base/ (two greps, well under a second);
#  2. the Linux build and its test suite, as released;
#  3. one clang build under AddressSanitizer and UndefinedBehaviorSanitizer:
#     the test suite again, then every fuzz target for a few seconds;
#  4. the Windows programs cross-built with mingw-w64, and their tests under
#     wine (left out with --linux-only).
# Installs what it needs first (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
windows=true
[[ ${1:-} == --linux-only ]] && windows=false
if $windows; then scripts/setup.sh --fuzz --windows; else scripts/setup.sh --fuzz; fi
scripts/check_layers.sh
scripts/check_file_door.sh

# Line tables only: failures keep their file and line, the build is faster.
scripts/build.sh build -DMERV_DEBUG_INFO=OFF
(cd build && ctest --output-on-failure -j2 --timeout 300)

# The fuzz targets need clang's instrumentation; the same build runs the
# test suite under the sanitizers, so it is built once for both.
scripts/build.sh build-clang -DCMAKE_CXX_COMPILER=clang++-14 -DMERV_SANITIZE=ON -DMERV_FUZZ=ON \
  -DMERV_BENCHMARKS=OFF -DMERV_DEBUG_INFO=OFF
(cd build-clang && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 300)
MERV_FUZZ_BUILD=build-clang scripts/fuzz.sh 3

if $windows; then
  scripts/build_windows.sh build-windows -DMERV_DEBUG_INFO=OFF
  scripts/test_windows.sh build-windows build
fi
