#!/usr/bin/env bash
# Checks that every include follows the one-way layering, then builds
# everything from scratch and runs the whole test suite twice: as released,
# and under AddressSanitizer and UndefinedBehaviorSanitizer. With --windows
# it then cross-builds the Windows programs and runs their tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check_layers.sh

scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 300)

scripts/build.sh build-sanitize -DMERV_SANITIZE=ON -DMERV_BENCHMARKS=OFF
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 300)

if [[ ${1:-} == --windows ]]; then
  scripts/setup.sh --windows
  scripts/build_windows.sh build-windows
  scripts/test_windows.sh build-windows build
fi
