#!/usr/bin/env bash
# Installs the build folder given into a scratch prefix and checks the
# layout a shop relies on: a line folder made by mervmodul-instance holds its
# own mervmodul, whose outcome lands in that folder and nowhere else, and
# every installed program has its manual page.
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/merv-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

for program in mervmodul-instance mervsim mervfleet kllog vyrnak; do
  [ -x "$prefix/bin/$program" ] || { echo "missing bin/$program" >&2; exit 1; }
  [ -f "$prefix/share/man/man1/$program.1" ] || { echo "missing man page of $program" >&2; exit 1; }
done
[ -f "$prefix/share/man/man1/mervmodul.1" ] || { echo "missing man page of mervmodul" >&2; exit 1; }
[ -x "$prefix/lib/mervmodul/mervmodul" ] || { echo "missing lib/mervmodul/mervmodul" >&2; exit 1; }

for line in line1 line2; do
  "$prefix/bin/mervmodul-instance" "$prefix/shop/$line" >/dev/null
done
cmp -s "$prefix/lib/mervmodul/mervmodul" "$prefix/shop/line1/mervmodul" || { echo "copy differs" >&2; exit 1; }
[ ! -e "$prefix/shop/line1/.mervmodul.tmp" ] || { echo "temporary copy left" >&2; exit 1; }
XDG_CONFIG_HOME="$prefix/config" "$prefix/shop/line1/mervmodul" R03 /BR=x
printf ' 3\r\n3.02F\r\n' | cmp -s - "$prefix/shop/line1/error.dat" || { echo "wrong outcome in line1" >&2; exit 1; }
[ ! -e "$prefix/shop/line2/error.dat" ] || { echo "line2 got line1's outcome" >&2; exit 1; }
[ ! -e "$prefix/lib/mervmodul/error.dat" ] || { echo "outcome beside the packaged copy" >&2; exit 1; }
[ "$("$prefix/shop/line2/mervmodul" --version)" = "mervmodul 3.04.05" ] || { echo "wrong version" >&2; exit 1; }
if "$prefix/bin/mervmodul-instance" 2>/dev/null; then echo "instance without a folder accepted" >&2; exit 1; fi
echo "install layout ok"
