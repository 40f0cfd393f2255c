#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into the folder given
# (default: build-windows), with libharu for the print viewer, and makes the
# zip and the MSI. The resource compiler runs on this machine, so it
# is built natively first, in the native build folder (default: build).
# Extra arguments go to the cross cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-windows}
native=${NATIVE_BUILD:-build}
shift || true

cmake -S . -B "$native" -DMERV_WERROR=ON >/dev/null
cmake --build "$native" -j2 --target rescomp
# The native folder may be given relative to the top or absolute.
rescomp=$(cd "$native" && pwd)/rescomp

# The print viewer's PDF library, cross-built once into the build folder,
# and mervd's HTTP library in its header-only form.
scripts/build_libharu_windows.sh "$dir"
scripts/fetch_httplib_windows.sh "$dir"

cmake -S . -B "$dir" -DMERV_WERROR=ON -DMERV_BENCHMARKS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake \
  -DMERV_RESCOMP="$rescomp" -DMERV_HPDF_ROOT="$(realpath "$dir")/libharu/install" "$@" >/dev/null
cmake --build "$dir" -j2
# The zip of the Windows programs, beside the build (the MSI is made by the build).
(cd "$dir" && cpack -G ZIP >/dev/null)
