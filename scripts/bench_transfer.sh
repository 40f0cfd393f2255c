#!/usr/bin/env bash
# Transfer benchmark: the PLU table (30,000 records) read and written through
# the register emulator over loopback TCP with the enciphered log on, timed
# against the floor the protocol imposes (a 1 ms pause before every frame
# written, plus 100 ms per table); then 300 records over a line paced at
# 19,200 bit/s in both directions, timed against the time the bytes need on
# such a line (10 bits a byte).
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -x build/mervmodul && -x build/mervsim ]] || { scripts/setup.sh; scripts/build.sh build; }

work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config/Kelmora"
printf '[Ver2]\nLogSouborSifra=1\n' >"$work/config/Kelmora/VOR-Manager.ini"
export XDG_CONFIG_HOME=$work/config
cp build/mervmodul "$work/"

start_register() {  # options...; sets port
  rm -f "$work/wire.log" "$work/sim.out" "$work/KL.log"
  build/mervsim --tcp 0 "$@" >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
  port=$(sed 's/.*://' "$work/sim.out")
}

stop_register() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
}

# Runs one command; prints its wall time in seconds.
timed() {
  local started ended
  started=$(date +%s.%N)
  "$work/mervmodul" "$@" /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465
  ended=$(date +%s.%N)
  [[ $(head -c2 "$work/error.dat") == " 0" ]] || { echo "command failed: $*: $(head -1 "$work/error.dat")" >&2; exit 1; }
  awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.3f", b - a }'
}

# The frames the module wrote, read back from its own enciphered log.
frames_written() { build/kllog "$work/KL.log" | grep -c ' write: '; }
# The bytes on the line, from the emulator's wire log (paced runs only).
bytes_on_line() { grep -E '^(recv|send) ' "$work/wire.log" | awk '{ n += NF - 1 } END { print n }'; }

report() {  # label wall bound
  awk -v l="$1" -v w="$2" -v b="$3" 'BEGIN { printf "%-34s %8.3f s   bound %8.3f s   ratio %.3f\n", l, w, b, w / b }'
}

if [[ ${1:-} != --paced-only ]]; then
echo "Loopback TCP, 30000 PLU records, enciphered log on:"
start_register --plu-count 30000
wall=$(timed R03 /FILE=plu.txt)
frames=$(frames_written)
report "download (R03), $frames frames" "$wall" "$(awk -v f="$frames" 'BEGIN { print f * 0.001 + 0.1 }')"
stop_register
start_register --plu-count 30000
wall=$(timed W03 /FILE=plu.txt)
frames=$(frames_written)
report "upload (W03), $frames frames" "$wall" "$(awk -v f="$frames" 'BEGIN { print f * 0.001 + 0.1 }')"
stop_register

fi
echo "Line paced at 19200 bit/s, 300 PLU records:"
start_register --plu-count 300 --line-speed 19200 --log "$work/wire.log"
wall=$(timed R03 /FILE=plu300.txt)
bytes=$(bytes_on_line)
report "download (R03), $bytes bytes" "$wall" "$(awk -v n="$bytes" 'BEGIN { print n * 10 / 19200 }')"
stop_register
start_register --plu-count 300 --line-speed 19200 --log "$work/wire.log"
wall=$(timed W03 /FILE=plu300.txt)
bytes=$(bytes_on_line)
report "upload (W03), $bytes bytes" "$wall" "$(awk -v n="$bytes" 'BEGIN { print n * 10 / 19200 }')"
stop_register
