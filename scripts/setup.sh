#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# Runs as root (or through sudo when it is there).
set -euo pipefail

# What building the programs takes; the tests, benchmarks and packages need more.
# mervd's HTTP and JSON libraries: cpp-httplib and nlohmann-json (the Windows
# build takes their headers: nlohmann's from the package, httplib's single
# header from Debian's source package, see scripts/fetch_httplib_windows.sh).
programs=(cmake make g++ pkg-config libhpdf-dev libcpp-httplib-dev nlohmann-json3-dev)
# libgcrypt checks the cipher in the tests; the programs do not link it.
# ansible-core, prometheus (promtool) and pytest build and test the Ansible
# collection and the alert rules; mervd's tests take pytest and jsonschema of
# Debian's Python, the status page headless Chromium through Selenium.
packages=("${programs[@]}" libgcrypt20-dev libgpg-error-dev libgtest-dev libgmock-dev libbenchmark-dev locales poppler-utils dpkg-dev lintian systemd
          ansible-core prometheus python3-pytest python3-jsonschema python3-selenium chromium chromium-driver)
# With --demo only what the programs take (scripts/demo.sh builds nothing
# else); with --package also what cpack takes to make the Debian packages
# (scripts/package.sh); with --windows also the Windows build (mingw-w64
# cross compiler, its libgcrypt and zlib, GoogleTest sources, wixl and
# msitools for the MSI, pefile to read the version resources back) and wine
# to run it; libharu's source is fetched by scripts/build_libharu_windows.sh;
# with --fuzz also clang and its fuzzer runtime.
for option in "$@"; do
  case $option in
    --demo) packages=("${programs[@]}") ;;
    --package) packages=("${programs[@]}" dpkg-dev file) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev googletest wine64 wine
                          libz-mingw-w64-dev wixl msitools python3-pefile xz-utils) ;;
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
