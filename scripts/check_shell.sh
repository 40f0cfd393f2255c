#!/usr/bin/env bash
# Runs shellcheck over every shell script git tracks: scripts/, the tests' and the
# packages' (the maintainer scripts and the launcher); fails on any finding,
# notes included. The settings are in .shellcheckrc.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(
  { git ls-files 'scripts/*.sh' 'tests/*.sh' scripts/mervmodul-instance packaging/mervmodul.in \
      packaging/debian/postinst packaging/debian/postrm packaging/debian/prerm; } | sort -u)
shellcheck -x "${files[@]}"
echo "check_shell: ${#files[@]} scripts clean"
