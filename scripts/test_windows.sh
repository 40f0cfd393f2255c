#!/usr/bin/env bash
# Runs the Windows build under wine: every Windows test program once, then
# mervmodul.exe against the Linux register emulator over TCP/IP and over a
# COM port that wine maps to the emulator's pseudo-terminal, and the log
# setting in wine's registry. The wine prefix lives in a temporary folder.
# Usage: scripts/test_windows.sh [windows build folder] [native build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
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

# --- The test programs, each once as a whole ------------------------------
# Two at a time, one for each processor, each in a folder of its own; a
# program's output is shown once all have ended, in order.
programs=("$win"/tests_*.exe)
for program in "${programs[@]}"; do
  name=$(basename "$program" .exe)
  mkdir -p "$work/$name"
  while (($(jobs -rp | wc -l) >= 2)); do wait -n || true; done
  (
    cd "$work/$name"
    if wine "$program" --gtest_brief=1 >"$work/$name.log" 2>&1; then echo 0; else echo $?; fi >"$work/$name.rc"
  ) &
done
wait
for program in "${programs[@]}"; do
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
for file in mervmodul.exe kllog.exe libgcrypt-20.dll libgpg-error-0.dll readme.txt; do
  [[ -f $install/$file ]] || fail "the zip lacks $file"
done
plu_count=300

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
deciphered=$(cd "$install" && wine ./kllog.exe KL.log 2>/dev/null | tr -d '\r' || true)
grep -q 'ErrorCode:  0' <<<"$deciphered" || fail "kllog.exe did not read the end of the command from KL.log"

echo "== R03 over COM1 (a pseudo-terminal)"
rm -f "$install/plu.txt" "$install/error.dat" "$install/KL.log"
start_sim --pty --link "$work/com1"
ln -sfn "$work/com1" "$WINEPREFIX/dosdevices/com1"
(cd "$install" && wine ./mervmodul.exe R03 /COM=1 /BR=2 /ECR=465 /FILE=plu.txt) || true
stop_sim
expect_success "R03 over COM1" && { cmp "$reference/plu.txt" "$install/plu.txt" || fail "R03 over COM1: the table differs"; }

echo "== The log setting written to the registry"
# The about mode writes the setting back: a missing value is written as 0.
wine reg delete "$key" /v LogSouborSifra /f >/dev/null
# Standard input is NUL, no console: it must not ask.
about=$(cd "$install" && wine ./mervmodul.exe </dev/null 2>&1 | tr -d '\r' || true)
grep -q 'a/N' <<<"$about" && fail "the about mode asked without a console: '$about'"
query=$(wine reg query "$key" /v LogSouborSifra 2>/dev/null | tr -d '\r' || true)
grep -Eq 'LogSouborSifra[[:space:]]+REG_DWORD[[:space:]]+0x0' <<<"$query" ||
  fail "the about mode did not write LogSouborSifra=0 into the registry: '$query'"

if ((failures)); then
  echo "Windows tests: $failures failed"
  exit 1
fi
echo "Windows tests: all passed"
