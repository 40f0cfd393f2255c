#!/usr/bin/env bash
# Cross-builds libharu (the print viewer's PDF library) with mingw-w64 as a
# static library, from Debian's source package of it, into FOLDER/libharu
# (FOLDER: the Windows build folder). zlib is the static one of
# libz-mingw-w64-dev; PNG support is left out (the viewer draws no pictures).
#
# The source comes through apt from the Debian archive the machine already
# uses: a deb-src list of this script's own (in FOLDER/libharu/apt, so the
# system's apt configuration is left alone and no root is needed), then
# `apt-get source --download-only --tar-only libharu`, which checks the
# tarball against the signed index. Once built, the library is kept: a later
# run costs nothing until the folder is removed.
# Usage: scripts/build_libharu_windows.sh [windows build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
root=$PWD
dir=$(realpath -m "${1:-build-windows}")/libharu
install=$dir/install
triplet=x86_64-w64-mingw32

if [[ -f $install/lib/libhpdfs.a && -f $install/include/hpdf.h && -f $install/NOTICE ]]; then
  exit 0
fi
mkdir -p "$dir"
cd "$dir"

# --- The source package ----------------------------------------------------
tarball=$(ls libharu_*.orig.tar.* 2>/dev/null | head -1 || true)
if [[ -z $tarball ]]; then
  echo "Fetching Debian's libharu source package"
  merv_fetch_debian_source libharu --tar-only
  tarball=$(ls libharu_*.orig.tar.*)
fi

# --- The static library ------------------------------------------------------
rm -rf src build
mkdir src
tar xf "$tarball" -C src --strip-components=1
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S src -B build -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-toolchain.cmake" "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$install" \
  -DLIBHPDF_SHARED=OFF -DLIBHPDF_STATIC=ON -DLIBHPDF_EXAMPLES=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON \
  -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
  -Wno-dev >/dev/null
# Its own warnings are not this project's to mend: they go to a log shown on a failure.
cmake --build build -j2 >build.log 2>&1 || { cat build.log; exit 1; }
cmake --install build >/dev/null
# The licence notices of what vyrnak.exe then contains, for the licence text it ships with.
{
  echo "vyrnak.exe contains libharu ($(basename "$tarball")), under the ZLIB/LIBPNG licence:"
  echo
  sed -n '/^Copyright (C) 1999-2006 Takeshi Kanno/,/^ 3\. This notice/p' src/README
  echo
  echo "vyrnak.exe contains zlib, under the zlib licence:"
  echo
  sed -n '/Copyright (C) 1995/,/madler@alumni/p' /usr/$triplet/include/zlib.h
} >"$install/NOTICE"
echo "libharu $(basename "$tarball") built into $install"
