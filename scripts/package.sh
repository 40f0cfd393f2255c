#!/usr/bin/env bash
# The Debian packages from a clean clone in a few minutes: the programs alone
# (no tests, benchmarks or fuzz targets), optimised as released (-O3, with
# line tables for the debug symbol package), compiled sixteen sources at a
# time, warnings as errors; then the packages with cpack.
#
#   scripts/package.sh [BUILD_DIR]     (default build-package)
#
# Installs what the build and cpack need first (scripts/setup.sh --package).
# The packages land in BUILD_DIR: mervmodul_VERSION_amd64.deb and
# mervmodul-sim_VERSION_amd64.deb, with their debug symbols beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
started=$SECONDS

scripts/setup.sh --package
scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O3 -DNDEBUG -g1" \
  -DCMAKE_INSTALL_PREFIX=/usr -DMERV_TESTS=OFF -DMERV_BENCHMARKS=OFF \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/*.deb
echo "package.sh: packages made in $((SECONDS - started)) s"
