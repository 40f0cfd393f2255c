#!/usr/bin/env bash
# Transfer benchmark: the PLU table read and written over loopback TCP with the
# enciphered log on, against two registers in the same run: the emulator
# (mervsim) and bench/plain_register.py, which shares no code with the module.
# Each is timed against the floor the protocol imposes (a 1 ms pause before
# every frame written, plus 100 ms per table), with a breakdown of the time
# above it: processor time per frame of the module and of the register, the
# system calls per frame (strace -c on a shorter run) and, from the plain
# register's own clock, how long after its answer the next frame came (the
# module's side) and how long it took to answer (the register's side). Then
# 300 records over a line paced at 19,200 bit/s in both directions, timed
# against the time the bytes need on such a line (10 bits a byte).
#
#   scripts/bench_transfer.sh [--tcp-only | --paced-only] [PLU]   (default 5000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
[[ -x $build/mervmodul && -x $build/mervsim && -x $build/kllog ]] || { scripts/setup.sh; scripts/build.sh "$build"; }
mode=all
[[ ${1:-} == --tcp-only || ${1:-} == --paced-only ]] && { mode=${1#--}; shift; }
plu=${1:-5000}
strace_plu=500

work=$(mktemp -d)
reg_pid=
trap '[[ -n $reg_pid ]] && kill "$reg_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config/Kelmora"
printf '[Ver2]\nLogSouborSifra=1\n' >"$work/config/Kelmora/VOR-Manager.ini"
export XDG_CONFIG_HOME=$work/config
cp "$build/mervmodul" "$work/"
ticks=$(getconf CLK_TCK)

start_register() {  # kind options...; sets port
  local kind=$1
  shift
  rm -f "$work/wire.log" "$work/reg.out" "$work/reg.err" "$work/KL.log"
  if [[ $kind == mervsim ]]; then
    "$build/mervsim" --tcp 0 "$@" >"$work/reg.out" 2>"$work/reg.err" &
  else
    /usr/bin/python3 bench/plain_register.py "$@" >"$work/reg.out" 2>"$work/reg.err" &
  fi
  reg_pid=$!
  for _ in $(seq 100); do [[ -s $work/reg.out ]] && break; sleep 0.1; done
  port=$(sed 's/.*://' "$work/reg.out")
  reg_ticks_before=$(register_ticks)
}

register_ticks() { awk '{ print $14 + $15 }' "/proc/$reg_pid/stat"; }

stop_register() {
  kill "$reg_pid" 2>/dev/null || true
  wait "$reg_pid" 2>/dev/null || true
  reg_pid=
}

# Runs one command with its processor time in $work/module.time; prints its wall time in seconds.
timed() {
  local started ended
  started=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o "$work/module.time" "$work/mervmodul" "$@" /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465
  ended=$(date +%s.%N)
  [[ $(head -c2 "$work/error.dat") == " 0" ]] || { echo "command failed: $*: $(head -1 "$work/error.dat")" >&2; exit 1; }
  awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.3f", b - a }'
}

# The frames the module wrote, read back from its own enciphered log.
frames_written() { "$build/kllog" "$work/KL.log" | grep -c ' write: '; }
# The bytes on the line, from the emulator's wire log (paced runs only).
bytes_on_line() { grep -E '^(recv|send) ' "$work/wire.log" | awk '{ n += NF - 1 } END { print n }'; }

report() {  # label wall bound
  awk -v l="$1" -v w="$2" -v b="$3" 'BEGIN { printf "%-40s %8.3f s   floor %8.3f s   ratio %.3f\n", l, w, b, w / b }'
}

# One table each way against one register, with the processor time per frame.
tcp_run() {  # kind label command
  local kind=$1 label=$2 command=$3 wall frames floor reg_ticks
  start_register "$kind" --plu-count "$plu"
  wall=$(timed "$command" /FILE=plu.txt)
  reg_ticks=$(($(register_ticks) - reg_ticks_before))
  stop_register
  frames=$(frames_written)
  floor=$(awk -v f="$frames" 'BEGIN { print f * 0.001 + 0.1 }')
  report "$label ($command), $frames frames" "$wall" "$floor"
  read -r user system <"$work/module.time"
  awk -v w="$wall" -v b="$floor" -v f="$frames" -v u="$user" -v s="$system" -v r="$reg_ticks" -v k="$ticks" 'BEGIN {
    printf "    per frame: %5.1f us above the floor; processor time: module %5.1f us, register %5.1f us\n",
      (w - b) / f * 1e6, (u + s) / f * 1e6, r / k / f * 1e6 }'
  [[ -s $work/reg.err ]] && sed 's/^/    /' "$work/reg.err"
  return 0
}

# System calls per frame of the module and of the register, on a shorter run.
syscalls_per_frame() {  # kind command
  local kind=$1 command=$2 tracer frames
  start_register "$kind" --plu-count "$strace_plu"
  strace -c -f -q -o "$work/register.strace" -p "$reg_pid" 2>/dev/null &
  tracer=$!
  sleep 0.5
  strace -c -f -q -o "$work/module.strace" "$work/mervmodul" "$command" /FILE=plu.txt /IPADDR=127.0.0.1 \
    /IPPORT="$port" /ECR=465
  kill -TERM "$tracer"
  wait "$tracer" 2>/dev/null || true
  stop_register
  frames=$(frames_written)
  for who in module register; do
    awk -v f="$frames" -v w="$who" '
      # Rows: % time, seconds, usecs/call, calls, [errors,] name.
      $1 ~ /^[0-9.]+$/ { n = NF == 6 ? $(NF - 2) : $(NF - 1); if ($NF == "total") total = n; else calls[$NF] = n }
      END {
        line = ""
        for (c in calls) if (calls[c] / f >= 0.05) line = line sprintf(" %s %.2f", c, calls[c] / f)
        printf "    %-8s %5.2f calls a frame:%s\n", w, total / f, line }' "$work/$who.strace"
  done
}

if [[ $mode != paced-only ]]; then
  echo "load: $(uptime)"
  echo "Loopback TCP, $plu PLU records, enciphered log on:"
  for kind in mervsim plain; do
    label=$([[ $kind == mervsim ]] && echo mervsim || echo "plain register")
    tcp_run "$kind" "$label" R03
    tcp_run "$kind" "$label" W03
  done
  echo "System calls per frame ($strace_plu PLU under strace, mervsim):"
  syscalls_per_frame mervsim R03
  echo "load: $(uptime)"
fi
[[ $mode == tcp-only ]] && exit 0

echo "Line paced at 19200 bit/s, 300 PLU records:"
start_register mervsim --plu-count 300 --line-speed 19200 --log "$work/wire.log"
wall=$(timed R03 /FILE=plu300.txt)
bytes=$(bytes_on_line)
report "download (R03), $bytes bytes" "$wall" "$(awk -v n="$bytes" 'BEGIN { print n * 10 / 19200 }')"
stop_register
start_register mervsim --plu-count 300 --line-speed 19200 --log "$work/wire.log"
wall=$(timed W03 /FILE=plu300.txt)
bytes=$(bytes_on_line)
report "upload (W03), $bytes bytes" "$wall" "$(awk -v n="$bytes" 'BEGIN { print n * 10 / 19200 }')"
stop_register
