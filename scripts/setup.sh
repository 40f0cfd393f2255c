#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# Runs as root (or through sudo when it is there).
set -euo pipefail

# What building the programs takes; the tests and benchmarks need more.
programs=(cmake make g++ pkg-config libgcrypt20-dev libgpg-error-dev libhpdf-dev)
packages=("${programs[@]}" libgtest-dev libgmock-dev libbenchmark-dev locales poppler-utils dpkg-dev)
# With --demo only what the programs take (scripts/demo.sh builds nothing
# else); with --windows also the Windows build (mingw-w64 cross compiler, its
# libgcrypt, GoogleTest sources) and wine to run it; with --fuzz also clang
# and its fuzzer runtime.
for option in "$@"; do
  case $option in
    --demo) packages=("${programs[@]}") ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev googletest wine64 wine) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    *) echo "setup.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  as_root=()
  [[ $(id -u) -eq 0 ]] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
fi
