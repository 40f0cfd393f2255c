#!/usr/bin/env bash
# Puts the header-only cpp-httplib (httplib.h, as upstream ships it) of
# Debian's source package into FOLDER/cpp-httplib/include for the Windows
# build of mervd (FOLDER: the Windows build folder), with its licence.
# Debian's libcpp-httplib-dev splits the header into declarations and a
# shared library, which the cross compiler cannot use; the source package
# holds the single header, with Debian's patches applied by dpkg-source.
#
# The source comes through apt from the Debian archive the machine already
# uses, the way scripts/build_libharu_windows.sh fetches libharu: a deb-src
# list of this script's own (in FOLDER/cpp-httplib/apt; the system's apt
# configuration is left alone, no root is needed), then `apt-get source
# --download-only`, which checks the files against the signed index. Once
# there, the header is kept: a later run costs nothing.
# Usage: scripts/fetch_httplib_windows.sh [windows build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
dir=$(realpath -m "${1:-build-windows}")/cpp-httplib
if [[ -f $dir/include/httplib.h && -f $dir/include/LICENSE ]]; then
  exit 0
fi
mkdir -p "$dir"
cd "$dir"
if ! ls cpp-httplib_*.dsc >/dev/null 2>&1; then
  echo "Fetching Debian's cpp-httplib source package"
  merv_fetch_debian_source cpp-httplib
fi
rm -rf src
dpkg-source --no-check -x cpp-httplib_*.dsc src >/dev/null
mkdir -p include
cp src/httplib.h src/LICENSE include/
echo "cpp-httplib $(sed -n 's/^#define CPPHTTPLIB_VERSION "\(.*\)"/\1/p' include/httplib.h): $dir/include/httplib.h"
