#!/usr/bin/env bash
# Checks that every include follows the one-way layering, then builds
# everything from scratch and runs the whole test suite twice: as released,
# and under AddressSanitizer and UndefinedBehaviorSanitizer. With --windows
# it then cross-builds the Windows programs and runs their tests under wine;
# with --fuzz it runs every fuzz target of fuzz/ for 2 seconds (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
windows=false
fuzz=false
for option in "$@"; do
  case $option in
    --windows) windows=true ;;
    --fuzz) fuzz=true ;;
    *) echo "usage: scripts/test.sh [--windows] [--fuzz]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
scripts/check_layers.sh

scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 300)

scripts/build.sh build-sanitize -DMERV_SANITIZE=ON -DMERV_BENCHMARKS=OFF
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 300)

if $windows; then
  scripts/setup.sh --windows
  scripts/build_windows.sh build-windows
  scripts/test_windows.sh build-windows build
fi

if $fuzz; then
  scripts/setup.sh --fuzz
  scripts/fuzz.sh 2
fi
