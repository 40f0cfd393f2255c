#!/usr/bin/env bash
# Checks that every include follows the one-way layering, then builds
# everything from scratch and runs the whole test suite twice: as released,
# and under AddressSanitizer and UndefinedBehaviorSanitizer; then runs each
# fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check_layers.sh

scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 300)

scripts/build.sh build-sanitize -DMERV_SANITIZE=ON -DMERV_BENCHMARKS=OFF
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 300)

# Every fuzz target for a couple of seconds from its seed corpus; scripts/fuzz.sh
# with a larger number runs them longer.
scripts/fuzz.sh 2
