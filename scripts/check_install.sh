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
#  4. runs mervmodul from PATH: without a line folder it refuses a command
#     and writes nothing beside the module, with one (MERV_PROGRAM_DIR, or
#     mervfleet's) it runs it; checks the installed documents and puts the
#     example settings file to use;
#  5. upgrades the module and shows the line folder running the new version;
#  6. checks the service unit with systemd-analyze verify and its exposure
#     with systemd-analyze security (at most 4.0).
# Needs root (dpkg --root and chroot). Takes about a minute when the
# programs are built, most of it lintian and the upgrade.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/lib.sh
source "$source/scripts/lib.sh"
work=$(mktemp -d /tmp/merv-install.XXXXXX)
sim_pid=
stop_sim() {
  merv_stop "$sim_pid"
  sim_pid=
}
cleanup() {
  stop_sim
  if mountpoint -q "$work/root/proc" 2>/dev/null; then umount "$work/root/proc"; fi
  rm -rf --one-file-system "$work"
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
# Started without the function: a function in the background runs in a
# subshell of its own, and $! would be that subshell, not the emulator, which
# the clean-up would then leave running (chroot and env exec it in place).
chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root mervsim --tcp 0 --plu-count 40 \
  >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
merv_wait_for_output "$work/sim.out" 100 || true
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

step "mervmodul on PATH"
# With /proc the programs know where they lie, as on a shop's machine: the
# module's own folder is then its program folder, and mervfleet finds the
# module beside itself.
mkdir -p "$root/proc"
mount -t proc proc "$root/proc" || fail "cannot mount /proc in the throwaway root"
# The status, standard output and standard error of a command run in the root
# from the folder given; ended after 60 s (status 124), as a resident mode
# started by mistake would never end.
run_from() {
  local folder=$1; shift
  status=0
  # shellcheck disable=SC2016 # expanded by the shell in the root
  in_root timeout 60 sh -c 'cd "$1" && shift && exec "$@"' sh "$folder" "$@" >"$work/out" 2>"$work/err" </dev/null ||
    status=$?
}
module_folder() { ls -A "$root/usr/lib/mervmodul"; }
outcome_here() { if [[ -e $root/srv/shop/error.dat ]]; then echo "an outcome in /srv/shop"; fi; }
[[ $(module_folder) == mervmodul ]] || fail "the module's folder holds more than the module: $(module_folder)"
# No line folder: a command is refused with the way to one, also in a line
# folder, where its own launcher is named.
for folder in /srv/shop /srv/shop/line1; do
  for command in "R03 /BR=x" "DOSMODE /srv/shop/command.txt"; do
    read -ra words <<<"$command"
    run_from "$folder" mervmodul "${words[@]}"
    [[ $status == 2 ]] || fail "mervmodul $command from PATH in $folder: status $status, not 2"
    grep -q 'mervmodul-instance DIR' "$work/err" || fail "mervmodul $command from PATH does not name mervmodul-instance"
    [[ ! -s $work/out ]] || fail "mervmodul $command from PATH wrote to standard output"
  done
done
grep -q '\./mervmodul ACTIVITY' "$work/err" || fail "mervmodul from PATH in a line folder does not name its launcher"
run_from /srv/shop mervmodul R03 /BR=x
! grep -q '\./mervmodul ACTIVITY' "$work/err" || fail "mervmodul from PATH names a launcher where there is none"
# The options write nothing but their answer.
run_from /srv/shop mervmodul --version
[[ $status == 0 && $(cat "$work/out") == "mervmodul $(dpkg-deb -f "$module_deb" Version)" ]] ||
  fail "mervmodul --version from PATH: status $status, '$(cat "$work/out")'"
run_from /srv/shop mervmodul --explain 4
[[ $status == 0 && -s $work/out ]] || fail "mervmodul --explain 4 from PATH: status $status"
run_from /srv/shop/it\'s\ line2 mervmodul --explain
[[ $status == 0 && $(head -n 1 "$work/out") == "/srv/shop/it's line2/error.dat:" ]] ||
  fail "mervmodul --explain from PATH did not explain the current folder's error.dat: status $status, $(cat "$work/out" "$work/err")"
run_from /srv/shop mervmodul --explain
[[ $status == 1 ]] || fail "mervmodul --explain from PATH without an error.dat here: status $status, not 1"
run_from /srv/shop mervmodul --help
[[ $status == 0 ]] || fail "mervmodul --help from PATH: status $status"
# The document --help names is installed, and is the one of the sources.
documents=$root/usr/share/doc/mervmodul
grep -q "/usr/share/doc/mervmodul/errors.md.gz" "$work/out" || fail "--help does not name the installed errors.md.gz"
for document in errors.md usage.md; do
  zcat "$documents/$document.gz" | cmp -s - "$source/docs/$document" || fail "$document is not installed as it is in docs/"
done
# The about mode writes only the user's settings.
run_from /srv/shop mervmodul
[[ $status == 0 ]] || fail "mervmodul from PATH without arguments: status $status"
grep -q 'souboru: ne' "$work/out" || fail "the about mode from PATH did not show the log setting: $(cat "$work/out")"
[[ $(module_folder) == mervmodul ]] || fail "mervmodul from PATH wrote beside the module: $(module_folder)"
[[ -z $(outcome_here) ]] || fail "mervmodul from PATH wrote an outcome into the current folder"

step "The example settings file"
example=$documents/examples/VOR-Manager.ini
[[ -f $example ]] || fail "no example settings file"
for entry in '\[Ver2\]' 'LogSouborSifra=0' 'LogMaxMB=100' '\[Ports\]' ';COM1=/dev/[^ ]*' '\[Tisk\]' ';Tiskarna=[^ ]*'; do
  grep -qx "$entry" "$example" || fail "the example settings file has no line '$entry'"
done
# Put to use with the log switched on and COM1 named: the about mode reads the
# switch and keeps every other line, --ports shows COM1, a command in a line
# folder named to the PATH command writes its outcome and log there.
settings=$root/srv/config/Kelmora/VOR-Manager.ini
mkdir -p "${settings%/*}"
sed 's/^LogSouborSifra=0$/LogSouborSifra=1/; s|^;COM1=.*|COM1=/dev/null|' "$example" >"$settings"
cp "$settings" "$work/settings.ini"
run_from /srv/shop mervmodul
grep -q 'souboru: ano' "$work/out" || fail "the example's LogSouborSifra=1 did not switch the log on: $(cat "$work/out")"
cmp -s "$settings" "$work/settings.ini" || fail "the about mode changed the example settings: $(diff "$work/settings.ini" "$settings")"
run_from /srv/shop mervmodul --ports
grep -Eq '^COM1 +/dev/null$' "$work/out" || fail "the example's [Ports] COM1 is not listed: $(cat "$work/out")"
mkdir -p "$root/srv/shop/named"
run_from /srv/shop env MERV_PROGRAM_DIR=/srv/shop/named mervmodul R03 /BR=x
[[ $status == 0 ]] || fail "mervmodul from PATH with MERV_PROGRAM_DIR: status $status"
printf ' 3\r\n3.02F\r\n' | cmp -s - "$root/srv/shop/named/error.dat" || fail "no outcome in the folder MERV_PROGRAM_DIR names"
[[ -s $root/srv/shop/named/KL.log ]] || fail "no log in the folder MERV_PROGRAM_DIR names"
in_root kllog /srv/shop/named/KL.log >"$work/out" || fail "kllog could not read the log"
rm "$settings"
# mervfleet beside the PATH command runs the module in each register's folder.
printf 'name,line,model\nr1,tcp:127.0.0.1:1,465\n' >"$root/srv/shop/registers.csv"
run_from /srv/shop mervfleet --registers registers.csv --retries 0 --out /srv/shop/fleet -- STS /FILE=stav.txt
[[ -s $root/srv/shop/fleet/r1/error.dat && $(head -c 2 "$root/srv/shop/fleet/r1/error.dat") != " 0" ]] ||
  fail "mervfleet did not run the module in the register's folder: $(cat "$work/out" "$work/err")"
[[ $(module_folder) == mervmodul && -z $(outcome_here) ]] || fail "a command wrote beside the module or here"

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
