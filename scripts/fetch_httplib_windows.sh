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
dir=$(realpath -m "${1:-build-windows}")/cpp-httplib
if [[ -f $dir/include/httplib.h && -f $dir/include/LICENSE ]]; then
  exit 0
fi
mkdir -p "$dir"
cd "$dir"
if ! ls cpp-httplib_*.dsc >/dev/null 2>&1; then
  echo "Fetching Debian's cpp-httplib source package"
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  mirror=${MERV_DEBIAN_MIRROR:-http://deb.debian.org/debian}
  mkdir -p apt/lists/partial apt/cache/archives/partial
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" >apt/sources.list
  apt_options=(-o Dir::Etc::SourceList="$dir/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
               -o Dir::State::Lists="$dir/apt/lists" -o Dir::Cache="$dir/apt/cache" -o APT::Sandbox::User="$(id -un)"
               -o Debug::NoLocking=1 -qq)
  apt-get "${apt_options[@]}" update
  apt-get "${apt_options[@]}" source --download-only cpp-httplib >/dev/null
  rm -rf apt/lists
fi
rm -rf src
dpkg-source --no-check -x cpp-httplib_*.dsc src >/dev/null
mkdir -p include
cp src/httplib.h src/LICENSE include/
echo "cpp-httplib $(sed -n 's/^#define CPPHTTPLIB_VERSION "\(.*\)"/\1/p' include/httplib.h): $dir/include/httplib.h"
