#!/usr/bin/env bash
# Runs the Windows build under wine: every Windows test program once; the
# zip's programs (version resources, stripped) and mervmodul.exe from it
# against the Linux register emulator over TCP/IP and over COM12, a port that
# wine maps to the emulator's pseudo-terminal, and the log setting in wine's
# registry; then the MSI: installed with its line service, the installed
# module over TCP/IP and over COM1, a command file run by the service, a
# journal printed to a PDF through the installed viewer, the GUI-subsystem
# module, a stop of the service during a command, which finishes first, and
# the uninstall, which keeps the line's data; mervd as the MSI's service,
# answering its health call and running an STS once for a repeated request. The wine prefix lives in a temporary folder.
# Usage: scripts/test_windows.sh [windows build folder] [native build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
win=$(realpath "${1:-build-windows}")
native=$(realpath "${2:-build}")

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
sim_pid=
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

echo "Creating the wine prefix in $WINEPREFIX"
# One persistent wine server for the whole run: every later start is warm.
mkdir -p "$WINEPREFIX"
wineserver -p 2>"$work/wineserver.log"
wineboot -i >/dev/null 2>&1
# wine's service manager gives a starting service a few seconds to call in;
# a cold start on a loaded machine may take longer (the MSI's service). It
# reads the limit when it starts, so the wine server is restarted once.
wine reg add 'HKLM\System\CurrentControlSet\Control' /v ServicesPipeTimeout /t REG_DWORD /d 60000 /f >/dev/null
wineserver -k
wineserver -p 2>>"$work/wineserver.log"
# The system processes start here, not inside a later pipeline whose output
# they would hold open.
wineboot >/dev/null 2>&1

# --- The test programs, each once as a whole ------------------------------
# Two at a time, one for each processor, each in a folder of its own; a
# program's output is shown once all have ended, in order.
test_programs=("$win"/tests_*.exe)
for program in "${test_programs[@]}"; do
  name=$(basename "$program" .exe)
  mkdir -p "$work/$name"
  while (($(jobs -rp | wc -l) >= 2)); do wait -n || true; done
  (
    cd "$work/$name"
    if wine "$program" --gtest_brief=1 >"$work/$name.log" 2>&1; then echo 0; else echo $?; fi >"$work/$name.rc"
  ) &
done
wait
for program in "${test_programs[@]}"; do
  name=$(basename "$program" .exe)
  echo "== $name.exe"
  tr -d '\r' <"$work/$name.log"
  [[ $(cat "$work/$name.rc" 2>/dev/null) == 0 ]] || fail "$name.exe"
done

# --- The module against the emulator -------------------------------------
# The module runs from its zip unpacked into a folder, as a shop installs it.
package=$(ls "$win"/mervmodul-*-win64.zip)
(cd "$work" && cmake -E tar xf "$package")
install=$(echo "$work"/mervmodul-*-win64)
for file in mervmodul.exe mervmodulw.exe kllog.exe mervfleet.exe vyrnak.exe readme.txt licence.txt; do
  [[ -f $install/$file ]] || fail "the zip lacks $file"
done
# The programs link no libgcrypt: its DLLs stay with the test programs.
for file in libgcrypt-20.dll libgpg-error-0.dll; do
  [[ ! -e $install/$file ]] || fail "the zip holds $file"
done
plu_count=300

echo "== Version resources and stripped programs"
version=$(cd "$install" && wine ./mervmodul.exe --version | tr -d '\r' | sed 's/^mervmodul //')
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "mervmodul.exe --version says '$version'"
[[ $package == *"mervmodul-$version-win64.zip" ]] || fail "the zip $(basename "$package") is not named after $version"
fixed=$(IFS=. read -r major minor patch <<<"$version"; echo "$((10#$major)).$((10#$minor)).$((10#$patch)).0")
for program in "$install"/*.exe; do
  IFS='|' read -r name product product_version file_version company description fixed_version count \
    < <(/usr/bin/python3 scripts/pe_version.py "$program")
  [[ $product == "MERV Modul" && $company == MERV && -n $description ]] ||
    fail "$name: version resource names '$product' by '$company' ('$description')"
  [[ $product_version == "$version" && $file_version == "$version" && $fixed_version == "$fixed" ]] ||
    fail "$name: version $product_version/$file_version/$fixed_version, --version says $version"
  [[ $count == 1 ]] || fail "$name: $count version resources"
  x86_64-w64-mingw32-objdump -h "$program" | grep -q '\.debug_' && fail "$name is not stripped"
  [[ -s $win/symbols/$name.debug ]] || fail "no symbols kept for $name"
done

# Waits up to $1 tenths of a second for the command $2... to succeed, trying
# it again every tenth (a try that starts a wine program takes longer).
wait_for() {
  local deadline=$((SECONDS + ($1 + 9) / 10))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Starts the emulator with the arguments given; its ready line in $work/sim.out.
start_sim() {
  : >"$work/sim.out"
  "$native/mervsim" --plu-count "$plu_count" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
  [[ -s $work/sim.out ]] || { cat "$work/sim.err"; fail "mervsim did not start"; return 1; }
}
stop_sim() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=
}

# The first line of error.dat of the Windows module must be " 0" CR LF; on a
# failure the end of its communication log is shown.
expect_success() {
  local what=$1
  if [[ $(head -c 4 "$install/error.dat" 2>/dev/null | od -An -tx1 | tr -d ' \n') != 20300d0a ]]; then
    fail "$what: error.dat is '$(cat -A "$install/error.dat" 2>&1)'"
    [[ -f $install/KL.log ]] && "$native/kllog" "$install/KL.log" | tail -15
    return 1
  fi
}

# The enciphered communication log is switched on through wine's registry.
key='HKCU\Software\Kelmora\VOR-Manager\Ver2'
wine reg add "$key" /v LogSouborSifra /t REG_DWORD /d 1 /f >/dev/null

# The table file of the Linux module, the reference for the Windows one.
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
reference=$work/reference
mkdir -p "$reference"
cp "$native/mervmodul" "$reference/"
XDG_CONFIG_HOME=$work/config "$reference/mervmodul" R03 /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 /FILE=plu.txt
[[ -s $reference/plu.txt ]] || fail "the Linux module wrote no table"

echo "== R03 over TCP/IP"
(cd "$install" && wine ./mervmodul.exe R03 /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 /FILE=plu.txt) || true
stop_sim
expect_success "R03 over TCP/IP" && { cmp "$reference/plu.txt" "$install/plu.txt" || fail "R03 over TCP/IP: the table differs"; }

echo "== The log setting read from the registry"
[[ -s $install/KL.log ]] || fail "LogSouborSifra=1 in the registry did not switch the communication log on"
# shellcheck disable=SC2015 # no output when the program fails
deciphered=$(cd "$install" && wine ./kllog.exe KL.log 2>/dev/null | tr -d '\r' || true)
grep -q 'ErrorCode:  0' <<<"$deciphered" || fail "kllog.exe did not read the end of the command from KL.log"

echo "== File names in any language"
# č and ř are letters of the Czech ANSI code page, € of the western one, ж of
# neither: every name reaches the file system exactly as the caller gave it.
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
named='stavčř€ж.txt'
rm -f "$install/error.dat"
(cd "$install" && wine ./mervmodul.exe STS /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 "/FILE=$named") || true
expect_success "STS /FILE=$named" && { [[ -s $install/$named ]] || fail "STS wrote no '$named': $(ls "$install")"; }
# The resident mode: a command file whose own name holds such letters, a line
# naming its output in UTF-8, and one written in the system's ANSI code page
# (wine's is 1252 here: E9 is é), as a shop application of old writes it.
command_file='příkazж.txt'
rm -f "$install/error.dat" "$install/dosž€ж.txt" "$install/café.txt"
(cd "$install" && timeout 120 wine ./mervmodul.exe DOSMODE "$command_file" >/dev/null 2>&1) &
resident=$!
run_resident_line() {
  rm -f "$install/error.dat"
  printf '%s\r\n' "$1" >"$install/command.tmp"
  mv "$install/command.tmp" "$install/$command_file"
  wait_for 600 test ! -e "$install/$command_file" || fail "the resident mode did not take '$1'"
}
run_resident_line "STS /IPADDR=127.0.0.1 /IPPORT=$port /ECR=465 /FILE=dosž€ж.txt"
expect_success "DOSMODE line with /FILE=dosž€ж.txt" && { [[ -s "$install/dosž€ж.txt" ]] || fail "DOSMODE wrote no 'dosž€ж.txt'"; }
run_resident_line "$(printf 'STS /IPADDR=127.0.0.1 /IPPORT=%s /ECR=465 /FILE=caf\xe9.txt' "$port")"
expect_success "DOSMODE line in code page 1252" && { [[ -s "$install/café.txt" ]] || fail "a line in code page 1252 wrote no 'café.txt': $(ls "$install")"; }
printf 'CLOSE\r\n' >"$install/command.tmp" && mv "$install/command.tmp" "$install/$command_file"
wait "$resident" || fail "the resident mode did not end at CLOSE"
stop_sim

echo "== mervfleet.exe: two registers on one line, one port that refuses"
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
printf 'name,line,model\r\na,tcp:127.0.0.1:%s,465\r\nb,tcp:127.0.0.1:%s,465\r\nr,tcp:127.0.0.1:1,465\r\n' \
  "$port" "$port" >"$install/registers.csv"
(cd "$install" && wine ./mervfleet.exe --registers registers.csv --out fleet --retries 0 -- R03 '/FILE={name}.txt' \
  >/dev/null 2>&1) || true
stop_sim
results=$(tr -d '\r' <"$install/fleet/results.csv" 2>/dev/null || true)
for row in 'a,tcp:127.0.0.1:'"$port"',0,ok,1,' 'b,tcp:127.0.0.1:'"$port"',0,ok,1,' 'r,tcp:127.0.0.1:1,9,'; do
  grep -q "^$row" <<<"$results" || fail "mervfleet.exe: no row '$row' in '$results'"
done
for name in a b; do
  cmp -s "$reference/plu.txt" "$install/fleet/$name/$name.txt" || fail "mervfleet.exe: the table of $name differs"
done

# A pseudo-terminal carries no parity: Linux clears its parity-enable bit and
# refuses (EINVAL) a setting whose only change is parity. wine hands every
# SetCommState down whole, so the module's second setting of the line (the
# handshake after the format) would fail with the register's odd parity. The
# lines under wine run without parity (/PAR=N); the bytes are the same.
printf '%s\n' "== R03 over COM12 (a pseudo-terminal; \\\\.\\COM12)"
rm -f "$install/plu.txt" "$install/error.dat" "$install/KL.log"
start_sim --pty --link "$work/com12"
ln -sfn "$work/com12" "$WINEPREFIX/dosdevices/com12"
(cd "$install" && wine ./mervmodul.exe R03 /COM=12 /BR=2 /PAR=N /ECR=465 /FILE=plu.txt) || true
stop_sim
if expect_success "R03 over COM12"; then
  cmp "$reference/plu.txt" "$install/plu.txt" || fail "R03 over COM12: the table differs"
fi

# wine makes the COM devices it found at its start (COM1 here), which the
# doctor looks for; a port linked in later is opened but not listed.
echo "== The doctor reads the latency timer that FTDI's driver keeps for COM1"
ftdi='HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS'
wine reg add "$ftdi\VID_0403+PID_6001+MERV01A\0000\Device Parameters" /v PortName /d COM1 /f >/dev/null
for timer in 16 1; do
  wine reg add "$ftdi\VID_0403+PID_6001+MERV01A\0000\Device Parameters" /v LatencyTimer /t REG_DWORD /d "$timer" \
    /f >/dev/null
  # shellcheck disable=SC2015 # the doctor's status is 1 while a check fails
  doctor=$(cd "$install" && wine ./mervmodul.exe --doctor /COM=1 /BR=2 /PAR=N /ECR=465 | tr -d '\r' || true)
  expected=$( ((timer > 4)) && echo "FAIL latency timer: $timer ms" || echo "ok   latency timer: $timer ms")
  grep -q "^$expected" <<<"$doctor" || fail "the doctor did not say '$expected' for COM1: '$doctor'"
done
wine reg delete "$ftdi" /f >/dev/null

echo "== The port list from the registry"
# shellcheck disable=SC2015 # no output when the program fails
ports=$(cd "$install" && wine ./mervmodul.exe --ports | tr -d '\r' || true)
grep -qE '^COM1 +\\\\\.\\COM1$' <<<"$ports" || fail "--ports does not list wine's COM1: '$ports'"

echo "== The about mode without a console writes no setting"
# Nobody answered: a user value written now would shadow the machine's.
wine reg delete "$key" /v LogSouborSifra /f >/dev/null
# Standard input is NUL, no console: it must not ask.
# shellcheck disable=SC2015 # no output when the program fails
about=$(cd "$install" && wine ./mervmodul.exe </dev/null 2>&1 | tr -d '\r' || true)
if grep -q 'a/N' <<<"$about"; then fail "the about mode asked without a console: '$about'"; fi
grep -q 'souboru: ne' <<<"$about" || fail "the about mode did not show the log setting: '$about'"
# wine's reg prints its "Unable to find" on standard output: the value's
# line is what is looked for.
query=$(wine reg query "$key" /v LogSouborSifra 2>/dev/null | tr -d '\r' || true)
if grep -q 'REG_DWORD' <<<"$query"; then fail "the about mode wrote the log setting without an answer: '$query'"; fi

# --- The MSI ----------------------------------------------------------------
msi=$(find "$win" -maxdepth 1 -name 'mervmodul-*-win64.msi' | head -1)
[[ $msi == *"mervmodul-$version-win64.msi" ]] || fail "the MSI $(basename "$msi") is not named after $version"
programs=$WINEPREFIX/drive_c/Program\ Files/MERV\ Modul
line=$WINEPREFIX/drive_c/ProgramData/MERV\ Modul/line1
service=MervModul-line1

service_state() { wine sc query "$service" 2>/dev/null | tr -d '\r' | grep -Eo 'STATE +: +[0-9]+ +[A-Z_]+' | awk '{print $4}'; }
# Asked again at every try of wait_for (an argument "$(service_state)" would be asked once).
service_is() { [[ $(service_state) == "$1" ]]; }

echo "== MSI install, with the service of line1"
wine msiexec /i "$(winepath -w "$msi")" /qn INSTALLSERVICE=1 || fail "msiexec /i failed"
for file in mervmodul.exe mervmodulw.exe kllog.exe vyrnak.exe mervsvc.exe mervd.exe licence.txt readme.txt; do
  [[ -f $programs/$file ]] || fail "the MSI did not install $file"
done
[[ -d $line ]] || fail "the MSI made no line folder"
# wine puts a per-machine menu entry into the user's Start menu.
find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/MERV Modul/MERV Modul.lnk' | grep -q . ||
  fail "no Start-menu entry for the about mode"
wait_for 100 service_is RUNNING || fail "the service of line1 is '$(service_state)', not RUNNING"

# Programs and Features: the MSI's entries in the registry's uninstall list.
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
arp_entries() { wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r'; }
# The values of the "MERV Modul" entries, and how many there are.
arp_entry() {
  awk '/^HKEY/ { if (found) exit; block = "" } { block = block $0 "\n" }
       /DisplayName +REG_SZ +MERV Modul$/ { found = 1 } END { if (found) printf "%s", block }' <<<"$1"
}
check_arp_entry() {
  local entries count entry
  entries=$(arp_entries)
  count=$(grep -cE 'DisplayName +REG_SZ +MERV Modul$' <<<"$entries" || true)
  [[ $count == 1 ]] || { fail "$1: $count entries named MERV Modul in Programs and Features"; return 0; }
  entry=$(arp_entry "$entries")
  grep -qE "DisplayVersion +REG_SZ +$2$" <<<"$entry" || fail "$1: the entry's version is not $2: $entry"
  grep -qE 'NoModify +REG_DWORD +0x1$' <<<"$entry" || fail "$1: the entry offers Modify"
  grep -qE 'HelpLink +REG_SZ +.*MERV Modul\\readme\.txt$' <<<"$entry" || fail "$1: no README as help link"
  grep -qE 'InstallLocation +REG_SZ +.*MERV Modul\\$' <<<"$entry" || fail "$1: no install location"
  # The icon is the product's, published where Programs and Features looks.
  wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    grep -qE 'ProductIcon +REG_SZ +.*\\mervmodul\.ico$' || fail "$1: no icon"
}
echo "== Programs and Features"
check_arp_entry "the first install" "$version"

echo "== The line's service runs under its own virtual account"
# wine's sc has no "qc": the service's account is read where the service
# manager keeps it.
service_account() {
  wine reg query "HKLM\\System\\CurrentControlSet\\Services\\$1" /v ObjectName 2>/dev/null | tr -d '\r' |
    sed -n 's/.*ObjectName *REG_SZ *//p'
}
account=$(service_account "$service")
[[ $account == 'NT SERVICE\MervModul-line1' ]] || fail "the service's account is '$account'"
# The line folder's permissions name the account by its service SID: S-1-5-80-
# and the SHA-1 of the upper-case name in UTF-16LE, as five little-endian words.
service_sid() {
  /usr/bin/python3 -c 'import hashlib, struct, sys
digest = hashlib.sha1(sys.argv[1].upper().encode("utf-16-le")).digest()
print("S-1-5-80-" + "-".join(str(word) for word in struct.unpack("<5I", digest)))' "$1"
}
locked_sddl() {
  msiinfo export "$msi" MsiLockPermissionsEx 2>/dev/null | tr -d '\r' | awk -F'\t' -v folder="$1" '$2 == folder {print $4}'
}
sid=$(service_sid "$service")
sddl=$(locked_sddl LINE1DIR)
[[ $sddl == *"(A;OICI;0x1301bf;;;$sid)"* ]] || fail "the line folder's permissions do not name $sid: '$sddl'"
[[ $sddl != *";;;LS)"* && $sddl != *";;;WD)"* ]] || fail "the line folder is open to LocalSystem's or everyone's services: '$sddl'"
# The data folder (mervd's token file) inherits nothing from ProgramData and
# is open to system, the administrators and mervd's account only.
http_sid=$(service_sid MervModul-http)
data_sddl=$(locked_sddl DATADIR)
[[ $data_sddl == "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;$http_sid)" ]] ||
  fail "the data folder's permissions are '$data_sddl'"

# The installed module, with the line folder as its program folder.
line_windows='C:\ProgramData\MERV Modul\line1'
installed() { (cd "$work" && MERV_PROGRAM_DIR=$line_windows wine "C:\\Program Files\\MERV Modul\\mervmodul.exe" "$@") || true; }
expect_line_success() {
  [[ $(head -c 4 "$line/error.dat" 2>/dev/null | od -An -tx1 | tr -d ' \n') == 20300d0a ]] && return 0
  fail "$1: error.dat of line1 is '$(cat -A "$line/error.dat" 2>&1)'"
  return 1
}

echo "== The installed module: R03 over TCP/IP"
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
installed R03 /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 /FILE=plu.txt
expect_line_success "installed R03 over TCP/IP" &&
  { cmp "$reference/plu.txt" "$line/plu.txt" || fail "installed R03 over TCP/IP: the table differs"; }
[[ ! -e $programs/error.dat ]] || fail "the installed module wrote error.dat beside itself"

echo "== The service runs a command file of line1"
rm -f "$line/error.dat"
if [[ -d $line ]]; then
  printf 'R03 /IPADDR=127.0.0.1 /IPPORT=%s /ECR=465 /FILE=service.txt\r\n' "$port" >"$line/command.tmp"
  mv "$line/command.tmp" "$line/command.txt"
fi
wait_for 1200 test ! -e "$line/command.txt" || fail "the service did not take the command file"
expect_line_success "R03 from the service" &&
  { cmp "$reference/plu.txt" "$line/service.txt" || fail "R03 from the service: the table differs"; }

echo "== The installed module prints a saved journal through the installed viewer"
installed SAVEZUR /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 /ZURNAL=day.zur
stop_sim
expect_line_success "SAVEZUR" && {
  installed PRINTZUR /ZURNAL=day.zur /FONT=1
  expect_line_success "PRINTZUR"
  wait_for 600 test -s "$line/tisk.pdf" || fail "PRINTZUR: the installed vyrnak.exe wrote no tisk.pdf"
  pdf_text=$(pdftotext "$line/tisk.pdf" - 2>/dev/null || true)
  [[ $pdf_text == *"MERV Modul"* ]] || fail "PRINTZUR: tisk.pdf holds no page heading"
}

echo "== The installed module: R03 over COM1 (a pseudo-terminal)"
# wine linked com1 to /dev/ttyS0 when it started; the link now goes to the emulator.
rm -f "$line/error.dat"
start_sim --pty --link "$work/com1"
ln -sfn "$work/com1" "$WINEPREFIX/dosdevices/com1"
installed R03 /COM=1 /BR=2 /PAR=N /ECR=465 /FILE=plu1.txt
stop_sim
expect_line_success "installed R03 over COM1" &&
  { cmp "$reference/plu.txt" "$line/plu1.txt" || fail "installed R03 over COM1: the table differs"; }

echo "== The installed GUI-subsystem module: R03 over TCP/IP"
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
rm -f "$line/error.dat"
(cd "$work" && MERV_PROGRAM_DIR=$line_windows timeout 120 \
  wine "C:\\Program Files\\MERV Modul\\mervmodulw.exe" R03 /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465 /FILE=plu_w.txt) || true
stop_sim
expect_line_success "mervmodulw.exe R03" &&
  { cmp "$reference/plu.txt" "$line/plu_w.txt" || fail "mervmodulw.exe R03: the table differs"; }

echo "== A stop of the service lets the command under way finish"
# The emulator paces its bytes, so the table takes a few seconds and the stop
# comes while the command is under way. A command removes the last outcome
# when it starts, and its command file when it has written the new one.
start_sim --tcp 0 --line-speed 57600
port=$(head -1 "$work/sim.out" | sed 's/.*://')
rm -f "$line/slow.txt"
[[ -f $line/error.dat ]] || : >"$line/error.dat"
if [[ -d $line ]]; then
  printf 'R03 /IPADDR=127.0.0.1 /IPPORT=%s /ECR=465 /FILE=slow.txt\r\n' "$port" >"$line/command.tmp"
  mv "$line/command.tmp" "$line/command.txt"
fi
wait_for 300 test ! -e "$line/error.dat" || fail "the service did not start the slow command"
wine sc stop "$service" >/dev/null 2>&1 || fail "sc stop $service failed"
[[ -e $line/command.txt ]] || fail "the slow command ended before the stop: make the emulator slower"
state=$(service_state)
[[ $state == STOP_PENDING ]] || fail "the service is '$state' just after the stop, not STOP_PENDING"
wait_for 300 service_is STOPPED || fail "the service is '$(service_state)' after the stop"
stop_sim
expect_line_success "R03 under way at the stop" &&
  { cmp "$reference/plu.txt" "$line/slow.txt" || fail "R03 under way at the stop: the table differs"; }
[[ ! -e $line/command.txt ]] || fail "the service ended before it removed the command file"

echo "== A second line's service, installed and removed as the README says"
service2=MervModul-line2
line2=$WINEPREFIX/drive_c/ProgramData/MERV\ Modul/line2
mkdir -p "$line2"
wine sc create "$service2" start= demand obj= "NT SERVICE\\$service2" \
  binPath= "\"C:\\Program Files\\MERV Modul\\mervsvc.exe\" \"C:\\ProgramData\\MERV Modul\\line2\"" >/dev/null 2>&1 ||
  fail "sc create $service2 failed"
account2=$(service_account "$service2")
[[ $account2 == "NT SERVICE\\$service2" ]] || fail "the second line's account is '$account2'"
wine sc start "$service2" >/dev/null 2>&1 || fail "sc start $service2 failed"
service2_is() { [[ $(wine sc query "$service2" 2>/dev/null | tr -d '\r' | grep -Eo 'STATE +: +[0-9]+ +[A-Z_]+' | awk '{print $4}') == "$1" ]]; }
wait_for 300 service2_is RUNNING || fail "the service of line2 did not start"
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
printf 'STS /IPADDR=127.0.0.1 /IPPORT=%s /ECR=465 /FILE=stav.txt\r\n' "$port" >"$line2/command.tmp"
mv "$line2/command.tmp" "$line2/command.txt"
wait_for 600 test ! -e "$line2/command.txt" || fail "the service of line2 did not take the command file"
stop_sim
[[ $(head -c 4 "$line2/error.dat" 2>/dev/null | od -An -tx1 | tr -d ' \n') == 20300d0a && -s $line2/stav.txt ]] ||
  fail "STS from the service of line2: error.dat is '$(cat -A "$line2/error.dat" 2>&1)'"
wine sc stop "$service2" >/dev/null 2>&1 || true
wait_for 300 service2_is STOPPED || fail "the service of line2 did not stop"
wine sc delete "$service2" >/dev/null 2>&1 || fail "sc delete $service2 failed"
wine sc query "$service2" >/dev/null 2>&1 && fail "sc delete left the service of line2"
[[ -s $line2/stav.txt ]] || fail "removing the service of line2 took its data"

echo "== mervd as the MSI's service MervModul-http"
http_service=MervModul-http
data=$WINEPREFIX/drive_c/ProgramData/MERV\ Modul
[[ -f $programs/mervd.exe && -f $data/mervd.conf.example ]] || fail "the MSI did not install mervd.exe and its example"
http_state() { wine sc query "$http_service" 2>/dev/null | tr -d '\r' | grep -Eo 'STATE +: +[0-9]+ +[A-Z_]+' | awk '{print $4}'; }
http_is() { [[ $(http_state) == "$1" ]]; }
[[ $(http_state) == STOPPED ]] || fail "the HTTP service is '$(http_state)' before its configuration is there"
start_sim --tcp 0
port=$(head -1 "$work/sim.out" | sed 's/.*://')
http_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$data/http1"
printf '[mervd]\r\nlisten = 127.0.0.1:%s\r\ntoken_file = C:\\ProgramData\\MERV Modul\\mervd.token\r\nmodule = C:\\Program Files\\MERV Modul\\mervmodul.exe\r\nrequest_seconds = 3\r\n[line http1]\r\nfolder = C:\\ProgramData\\MERV Modul\\http1\r\nconnection = /IPADDR=127.0.0.1 /IPPORT=%s\r\nmodel = 465\r\n' \
  "$http_port" "$port" >"$data/mervd.conf"
wine sc start "$http_service" >/dev/null 2>&1 || fail "sc start $http_service failed"
wait_for 300 http_is RUNNING || fail "the HTTP service is '$(http_state)', not RUNNING"
wait_for 300 test -s "$data/mervd.token" || fail "the HTTP service made no token"
# GET /v1/health, then the same STS twice: the register is asked once.
if ! /usr/bin/python3 - "$http_port" "$data/mervd.token" tests/mervd <<'PYTHON'; then fail "mervd under wine did not answer as it should"; fi
import http.client, json, sys, time
port, token = int(sys.argv[1]), open(sys.argv[2]).read().strip()
def call(method, path, body=None):
    for attempt in range(100):
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
            connection.request(method, path, body, {"Authorization": "Bearer " + token})
            answer = connection.getresponse()
            return answer.status, json.loads(answer.read())
        except ConnectionError:
            time.sleep(0.1)
    raise SystemExit("mervd does not answer on port %d" % port)
status, health = call("GET", "/v1/health")
assert status == 200 and health["status"] == "ok", health
body = json.dumps({"activity": "STS", "parameters": {"FILE": "stav.txt"}, "request_id": "wine-1"})
status, first = call("POST", "/v1/lines/http1/commands", body)
assert status == 200 and first["state"] == "done" and first["error"] == 0, first
status, again = call("POST", "/v1/lines/http1/commands", body)
assert status == 200 and again == first, again
# A client sending its request a byte at a time is cut off at the request
# limit (3 s here), and others are served meanwhile.
sys.path.insert(0, sys.argv[3])
from slow_client import dribble
def others_served():
    assert call("GET", "/v1/health")[0] == 200
cut_after = dribble(port, pause=0.5, between_bytes=others_served)
assert cut_after < 3 + 2.5, "the slow client was served for %.1f s" % cut_after
print("mervd under wine: health, STS and its repeat answered; a slow client cut off after %.1f s" % cut_after)
PYTHON
stop_sim
[[ -s $data/http1/stav.txt && -f $data/http1/mervd-outcome.wine-1.json ]] || fail "the STS through mervd wrote no stav.txt"
wine sc stop "$http_service" >/dev/null 2>&1 || fail "sc stop $http_service failed"
wait_for 300 http_is STOPPED || fail "the HTTP service is '$(http_state)' after the stop"

echo "== mervd as a service whose port is taken ends stopped with exit code 1"
# Another program holds the port: the service's start fails, and the service
# manager must learn it from the service's state and code, not see it running.
# (SO_REUSEADDR: the connections of mervd's last run may still be closing.)
/usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); print("holding", flush=True); time.sleep(120)' \
  "$http_port" >"$work/holder.out" &
holder_pid=$!
wait_for 50 test -s "$work/holder.out" || fail "the port $http_port could not be held"
http_stopped_with_1() {
  local query
  query=$(wine sc query "$http_service" 2>/dev/null | tr -d '\r')
  grep -Eq 'STATE +: +[0-9]+ +STOPPED' <<<"$query" && grep -Eq 'SERVICE_EXIT_CODE +: +1 ' <<<"$query"
}
wine sc start "$http_service" >/dev/null 2>&1 || true
wait_for 300 http_stopped_with_1 ||
  fail "mervd with its port taken: $(wine sc query "$http_service" 2>/dev/null | tr -d '\r' | grep -E 'STATE|EXIT_CODE' | tr -s ' ')"
kill "$holder_pid" 2>/dev/null || true
wait "$holder_pid" 2>/dev/null || true

echo "== MSI upgrades: the same version rebuilt, then a newer one; an older one is refused"
# Packages of other versions, made the way the build makes its own.
make_msi() {
  sed "s/Version=\"$version\"/Version=\"$1\"/" "$win/mervmodul.wxs" >"$win/other.wxs"
  (cd "$win" && cmake -DWIXL="$(command -v wixl)" -DMSIBUILD="$(command -v msibuild)" -DWXS=other.wxs -DMSI="$2" \
    -DLINE_SERVICE_SID="$sid" -DHTTP_SERVICE_SID="$http_sid" -P "$top/cmake/make_msi.cmake" >/dev/null 2>&1) ||
    fail "could not make an MSI of $1"
  rm -f "$win/other.wxs"
}
IFS=. read -r major minor patch <<<"$version"
newer=$(printf '%s.%s.%02d' "$major" "$minor" $((10#$patch + 1)))
older=0.01.00
make_msi "$version" "$work/same.msi"
make_msi "$newer" "$work/newer.msi"
make_msi "$older" "$work/older.msi"
line_files=$(cd "$line" && ls | sort)
for step in "same:$version" "newer:$newer"; do
  package=${step%%:*} expected=${step#*:}
  wine msiexec /i "$(winepath -w "$work/$package.msi")" /qn || fail "msiexec /i of the $package MSI failed"
  check_arp_entry "the $package MSI" "$expected"
  wait_for 300 service_is RUNNING || fail "after the $package MSI the service is '$(service_state)'"
  [[ $(cd "$line" && ls | sort) == "$line_files" ]] || fail "the $package MSI changed the line folder: $(ls "$line")"
done
if wine msiexec /i "$(winepath -w "$work/older.msi")" /qn; then fail "an older MSI was installed over a newer one"; fi
check_arp_entry "after the refused downgrade" "$newer"
msi=$work/newer.msi

echo "== MSI uninstall keeps the line's data"
wine msiexec /x "$(winepath -w "$msi")" /qn || fail "msiexec /x failed"
[[ ! -e $programs/mervmodul.exe && ! -e $programs/vyrnak.exe ]] || fail "the uninstall left the programs"
[[ -f $line/error.dat && -f $line/plu.txt && -f $line/day.zur ]] || fail "the uninstall did not keep the data of line1"
[[ -z $(service_state) ]] || fail "the uninstall left the service ($(service_state))"

if ((failures)); then
  echo "Windows tests: $failures failed"
  exit 1
fi
echo "Windows tests: all passed"
