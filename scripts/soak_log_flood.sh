#!/usr/bin/env bash
# Soak run of the communication log's bound: mervsim plays a Hayes modem that
# answers the dial with pseudo-random bytes without end, as fast as the line
# takes them; one mervmodul MODEMDIAL waits for the dial's answer (90 s) and
# logs every byte it reads into the enciphered log. The settings hold only
# LogSouborSifra=1, so LogMaxMB has its default (100 MB). KL.log and KL.log.1
# are looked at every 50 ms; the run fails when either grew past the bound.
#
#   scripts/soak_log_flood.sh [SECONDS]   (MERV_BIN=folder: programs from there, default build;
#                                         LOG_MAX_MB=n: write LogMaxMB=n, 0 for no bound)
#
# SECONDS (default 90, the dial's own wait) is how long the flood runs; with
# fewer the dial is stopped with SIGTERM then.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
seconds=${1:-90}
bin=${MERV_BIN:-build}
merv_need_programs "$bin" mervmodul mervsim kllog

merv_work_folder
merv_log_settings "$work/config"
[[ -n ${LOG_MAX_MB:-} ]] && printf 'LogMaxMB=%s\n' "$LOG_MAX_MB" >>"$XDG_CONFIG_HOME/Kelmora/VOR-Manager.ini"
bound_mb=${LOG_MAX_MB:-100}
bound=$((bound_mb * 1024 * 1024))
cp "$bin/mervmodul" "$work/"

merv_start_sim "$work/sim.out" 100 "$bin/mervsim" --pty --link "$work/com1" --modem flood --log "$work/wire.log" 2>/dev/null
[[ -L $work/com1 ]] || { echo "mervsim did not start: $(cat "$work/sim.out")" >&2; exit 1; }
export MERV_COM1=$work/com1

(cd "$work" && exec ./mervmodul MODEMDIAL /COM=1 /BR=5 /DIALTONE=5551234) &
module_pid=$!

size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
inode_of() { stat -c %i "$1" 2>/dev/null || echo -; }

started=$(date +%s%N)
largest=0
largest_older=0
renamings=0
last_inode=-
stopped=no
while kill -0 "$module_pid" 2>/dev/null; do
  size=$(size_of "$work/KL.log")
  older=$(size_of "$work/KL.log.1")
  ((size > largest)) && largest=$size
  ((older > largest_older)) && largest_older=$older
  inode=$(inode_of "$work/KL.log.1")
  if [[ $inode != - && $inode != "$last_inode" ]]; then
    renamings=$((renamings + 1))
    last_inode=$inode
  fi
  elapsed_ms=$((($(date +%s%N) - started) / 1000000))
  if [[ $stopped == no ]] && ((elapsed_ms >= seconds * 1000)); then
    kill -TERM "$module_pid" 2>/dev/null || true
    stopped=yes
  fi
  sleep 0.05
done
status=0
wait "$module_pid" || status=$?
module_pid=
elapsed=$((($(date +%s%N) - started) / 1000000000))

final=$(size_of "$work/KL.log")
final_older=$(size_of "$work/KL.log.1")
lines=$("$bin/kllog" "$work/KL.log" | wc -l)
notes=$("$bin/kllog" "$work/KL.log" | grep -c -e 'Predchozi' -e 'neprejmenovan' || true)
echo "flood of $elapsed s (stopped: $stopped), bound ${bound_mb} MB = $bound bytes"
echo "KL.log: largest seen $largest, at the end $final bytes"
echo "KL.log.1: largest seen $largest_older, at the end $final_older bytes; renamings seen: $renamings"
echo "lines kllog reads from both: $lines (repetition notes and renaming failures: $notes)"
echo "error.dat: $(head -1 "$work/error.dat" 2>/dev/null | tr -d '\r'), module exit status $status"
((bound == 0 || (largest <= bound && largest_older <= bound && final <= bound && final_older <= bound)))
