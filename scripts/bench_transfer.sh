#!/usr/bin/env bash
# Transfer benchmark: the PLU table (30,000 records) read and written through
# the register emulator over loopback TCP with the enciphered log on, timed
# against the floor the protocol imposes (a 1 ms pause before every frame
# written, plus 100 ms per table); then 300 records over a line paced at
# 19,200 bit/s in both directions, timed against the time the bytes need on
# such a line (10 bits a byte).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
merv_need_programs build mervmodul mervsim

merv_work_folder
merv_log_settings "$work/config"
cp build/mervmodul "$work/"

start_register() {  # options...; sets port
  rm -f "$work/wire.log" "$work/sim.out" "$work/KL.log"
  merv_start_sim "$work/sim.out" 50 build/mervsim --tcp 0 "$@"
}

stop_register() {
  merv_stop "$sim_pid"
  sim_pid=
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
