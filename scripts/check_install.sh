#!/usr/bin/env bash
# The Debian packages as a shop installs them. From the build folder given
# (configured with the prefix /usr, as scripts/test.sh does):
#  1. builds the packages with cpack and checks them with lintian (no error,
#     no warning);
#  2. installs them with dpkg into a throwaway root made from the host's own
#     copies of the packages they depend on (a second or two; no download);
#  3. there, makes a line folder with mervmodul-instance, saves a journal
#     from mervsim through it and prints it to a PDF with the installed
#     viewer;
#  4. upgrades the module and shows the line folder running the new version;
#  5. checks the service unit with systemd-analyze verify and its exposure
#     with systemd-analyze security (at most 4.0).
# Needs root (dpkg --root and chroot). Takes about a minute when the
# programs are built, most of it lintian and the upgrade.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/merv-install.XXXXXX)
sim_pid=
stop_sim() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  sim_pid=
}
cleanup() {
  stop_sim
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check_install: $*" >&2; exit 1; }
step() { echo "== $* (at ${SECONDS} s)"; }

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[[ $prefix == /usr ]] || fail "the build folder has the prefix $prefix; configure it with -DCMAKE_INSTALL_PREFIX=/usr"

step "Packages"
# cpack takes what is built: the shipped programs and their documents.
cmake --build "$build" -j2 --target mervmodul kllog vyrnak mervfleet mervsim merv_documents_module merv_documents_sim >/dev/null
(cd "$build" && cpack -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
module_deb=$(ls "$work"/debs/mervmodul_*.deb)
sim_deb=$(ls "$work"/debs/mervmodul-sim_*.deb)
ls "$work"/debs/*-dbgsym_*.ddeb >/dev/null || fail "no package of debug symbols"
ls -l "$work"/debs/*.deb "$work"/debs/*.ddeb | awk '{print $5, $9}' | sed "s|$work/debs/||"

step "lintian"
lintian -I --pedantic "$module_deb" "$sim_deb" 2>&1 | grep -v 'root privileges' | tee "$work/lintian.log" || true
if grep -q '^[EW]: ' "$work/lintian.log"; then fail "lintian reports errors or warnings"; fi

step "Install into a throwaway root"
root=$work/root
# The root holds what the programs and maintainer scripts need, copied from
# the host's installed packages, with the host's dpkg records of them. dpkg
# runs the maintainer scripts inside it.
needs=$(dpkg-deb -f "$module_deb" Depends; echo ,; dpkg-deb -f "$sim_deb" Depends)
# dash, coreutils and sed for the scripts; systemd for its units and
# systemd-sysusers, which the maintainer script runs.
base=(dash coreutils sed systemd)
mapfile -t packages < <(
  { sed 's/([^)]*)//g; s/|[^,]*//g; s/,/\n/g' <<<"$needs" | tr -d ' '; printf '%s\n' "${base[@]}"; } | sort -u | sed '/^$/d')
# The closure of their dependencies among the host's packages.
declare -A seen=()
queue=("${packages[@]}")
while ((${#queue[@]})); do
  package=${queue[0]}; queue=("${queue[@]:1}")
  [[ -n ${seen[$package]:-} ]] && continue
  seen[$package]=1
  for dependency in $(dpkg-query -W -f='${Depends},${Pre-Depends}\n' "$package" |
                      sed 's/([^)]*)//g; s/|[^,]*//g; s/:any//g; s/,/ /g'); do
    [[ -z ${seen[$dependency]:-} ]] && queue+=("$dependency")
  done
done
mkdir -p "$root"/usr/{bin,sbin,lib,lib64} "$root"/var/lib/dpkg/{info,updates,triggers} "$root"/tmp "$root"/etc
for link in bin sbin lib lib64; do ln -s "usr/$link" "$root/$link"; done
chmod 1777 "$root/tmp"
mkdir -p "$root/dev"
mknod -m 666 "$root/dev/null" c 1 3
printf 'root:x:0:0:root:/root:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\ndialout:x:20:\n' >"$root/etc/group"
for package in "${!seen[@]}"; do
  dpkg-query -L "$package" | while read -r path; do
    if [[ (-f $path || -L $path) && ! -d $path ]]; then echo "${path#/}"; fi
  done
done | sort -u | tar -C / -cf - --no-recursion -T - | tar -C "$root" -xf - --keep-directory-symlink
dpkg-query -s "${!seen[@]}" >"$root/var/lib/dpkg/status"
for package in "${!seen[@]}"; do
  for list in /var/lib/dpkg/info/"$package".list /var/lib/dpkg/info/"$package":*.list; do
    if [[ -f $list ]]; then cp "$list" "$root/var/lib/dpkg/info/"; fi
  done
done
: >"$root/var/lib/dpkg/available"
ln -s /bin/true "$root/usr/sbin/ldconfig" 2>/dev/null || true
ln -s /bin/true "$root/usr/sbin/start-stop-daemon" 2>/dev/null || true
dpkg --root="$root" -i "$module_deb" "$sim_deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; fail "dpkg could not install the packages"; }
echo "root of ${#seen[@]} host packages, $(du -sm "$root" | cut -f1) MB"
grep -q '^mervmodul:' "$root/etc/passwd" || fail "the package made no user mervmodul"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root XDG_CONFIG_HOME=/srv/config "$@"; }

step "ldd of the installed module"
ldd "$root/usr/lib/mervmodul/mervmodul" | tee "$work/ldd.txt"
! grep -Eq 'libgcrypt|libgpg-error' "$work/ldd.txt" || fail "the module links libgcrypt"

step "A line folder saves a journal from mervsim and prints it"
in_root mervmodul-instance /srv/shop/line1 >/dev/null
line=$root/srv/shop/line1
[[ $(wc -c <"$line/mervmodul") -lt 1000 ]] || fail "the line folder holds more than a launcher"
in_root mervsim --tcp 0 --plu-count 40 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
port=$(sed 's/.*://' "$work/sim.out")
[[ -n $port ]] || { cat "$work/sim.err"; fail "mervsim did not start"; }
run_line() {
  (cd "$line" && in_root /srv/shop/line1/mervmodul "$1" /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 /TO=500 "${@:2}")
  local outcome; outcome=$(head -c 2 "$line/error.dat")
  [[ $outcome == " 0" ]] || fail "$1 in the line folder ended with '$outcome'"
}
run_line SAVEZUR /ZURNAL=z.zur /FILE=z.txt
[[ -s $line/z.zur && -s $line/z.txt ]] || fail "SAVEZUR left no journal in the line folder"
run_line PRINTZUR /ZURNAL=z.zur
for _ in $(seq 300); do [[ -s $line/tisk.pdf ]] && break; sleep 0.1; done
[[ $(head -c 5 "$line/tisk.pdf" 2>/dev/null) == %PDF- ]] || fail "the installed viewer made no PDF in the line folder"
stop_sim
echo "tisk.pdf: $(wc -c <"$line/tisk.pdf") bytes, $(pdfinfo "$line/tisk.pdf" | sed -n 's/^Pages: *//p') pages"
# A second line, its folder's name with a blank and a quote, keeps its own outcome.
in_root mervmodul-instance "/srv/shop/it's line2" >/dev/null
in_root "/srv/shop/it's line2/mervmodul" R03 /BR=x
printf ' 3\r\n3.02F\r\n' | cmp -s - "$root/srv/shop/it's line2/error.dat" || fail "wrong outcome in the second line"
[[ $(head -c 2 "$line/error.dat") == " 0" ]] || fail "the second line's outcome reached the first"
[[ ! -e $root/usr/lib/mervmodul/error.dat ]] || fail "an outcome beside the installed module"
if in_root mervmodul-instance 2>/dev/null; then fail "mervmodul-instance without a folder was accepted"; fi

step "An upgrade reaches the line folder"
old=$(in_root /srv/shop/line1/mervmodul --version)
# The next version: the same package with its version raised, in the
# program's own answer too (a patch of the version text, same length).
version=$(dpkg-deb -f "$module_deb" Version)
next=${version%.*}.99
dpkg-deb -R "$module_deb" "$work/next"
sed -i "s/^Version: .*/Version: $next/" "$work/next/DEBIAN/control"
perl -0777 -pi -e "s/\Q$version\E/$next/g" "$work/next/usr/lib/mervmodul/mervmodul"
(cd "$work/next" && find usr -type f -exec md5sum {} + >DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$work/next" "$work/next.deb" >/dev/null
dpkg --root="$root" -i "$work/next.deb" >>"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; fail "dpkg could not upgrade"; }
new=$(in_root /srv/shop/line1/mervmodul --version)
echo "line1 ran '$old', after the upgrade '$new'"
[[ $new == "mervmodul $next" ]] || fail "the line folder does not run the upgraded module"

step "The service unit"
unit=$work/units/mervmodul@line1.service
mkdir -p "$work/units"
cp "$root/usr/lib/systemd/system/mervmodul@.service" "$unit"
systemd-analyze verify --root="$root" --man=no "$unit" || fail "systemd-analyze verify failed"
systemd-analyze security --offline=true --root="$root" "$unit" >"$work/security.txt" 2>&1 || true
exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$work/security.txt")
[[ -n $exposure ]] || { cat "$work/security.txt"; fail "no exposure level"; }
echo "exposure $exposure"
awk -v e="$exposure" 'BEGIN { exit !(e <= 4.0) }' || fail "exposure $exposure is above 4.0"
echo "install check ok in ${SECONDS} s"
