#!/usr/bin/env bash
# Soak run of the resident command-file mode: one mervmodul process in
# DOSMODE takes COUNT command files (default 10,000) written the way a shop
# application writes them (temporary name, then rename), against the
# register emulator over loopback TCP, and HOSTILE things at the command path
# between them (default 1,000): links to a secret file, dangling links, FIFOs,
# binary junk, first lines beyond 64 KiB, and good commands written in place
# in two pieces. Every "error.dat" is checked against the outcome it must
# have, and the secret file must stay as it was. The process's resident
# memory and open descriptors are printed after the first command and at the
# end; the run fails when memory grew by 1 MiB or more.
#
#   scripts/soak_dosmode.sh [COUNT [HOSTILE]]   (MERV_BIN=folder: programs from there, default build)
#
# Commands, in turn: R03 (PLU table read to a file), STS (key position to a
# file), R01 (departments), then R00 (no such table: error 1); every 50th
# command goes to a TCP port where nothing listens (error 9). The command
# files are polled every MERV_DOSMODE_POLL_MS (default here 10 ms instead of
# the usual second) so that the run takes minutes, not hours.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
count=${1:-10000}
hostile=${2:-1000}
bin=${MERV_BIN:-build}
merv_need_programs "$bin" mervmodul mervsim

merv_work_folder
export XDG_CONFIG_HOME=$work/config
export MERV_DOSMODE_POLL_MS=${MERV_DOSMODE_POLL_MS:-10}
cp "$bin/mervmodul" "$work/"

merv_start_sim "$work/sim.out" 100 "$bin/mervsim" --tcp 0 --plu-count 20 2>/dev/null
# A port that was free a moment ago: connections to it are refused.
dead_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

command_file=$work/command.txt
(cd "$work" && exec ./mervmodul DOSMODE "$command_file") &
module_pid=$!

# A pause without starting a process: a read that times out on a pipe
# nobody writes to.
exec {never}<> <(:)
pause() { read -r -t "$1" -u "$never" _ || true; }

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$module_pid/status"; }
descriptors() { ls "/proc/$module_pid/fd" | wc -l; }

# Waits until the module has removed the command path, then compares
# "error.dat" with code $2 ($1 names the case).
await_outcome() {
  while [[ -e $command_file || -L $command_file ]]; do
    kill -0 "$module_pid" 2>/dev/null || { echo "the module ended at $1" >&2; exit 1; }
    pause 0.002
  done
  local expected
  expected=$(printf '%2d\r\n3.02F\r\n' "$2")
  if [[ ! -f $work/error.dat || $(<"$work/error.dat") != "$expected" ]]; then
    wrong=$((wrong + 1))
    echo "$1: error.dat is \"$(head -1 "$work/error.dat" 2>/dev/null)\", expected $2" >&2
  fi
}

# Writes command $1 and waits until the module has deleted the file; then
# compares "error.dat" with code $2.
run_command() {
  rm -f "$work/error.dat"
  printf '%s\r\n' "$1" >"$work/command.tmp"
  mv "$work/command.tmp" "$command_file"
  await_outcome "command $i ($1)" "$2"
}

secret_text='R03 /FILE=secret.txt, never to be read'
printf '%s\r\n' "$secret_text" >"$work/secret"
long_line=$(printf 'R%.0s' $(seq 70000))

# One hostile thing at the command path, of kind $1 modulo 6.
run_hostile() {
  rm -f "$work/error.dat"
  case $(($1 % 6)) in
    0) ln -s "$work/secret" "$command_file" && await_outcome "hostile $1 (link)" 10 ;;
    1) ln -s "$work/nowhere" "$command_file" && await_outcome "hostile $1 (dangling link)" 10 ;;
    2) mkfifo "$command_file" && await_outcome "hostile $1 (FIFO)" 10 ;;
    3) printf 'R03 \0\001\002 /FILE=junk.txt\r\n' >"$work/command.tmp" && mv "$work/command.tmp" "$command_file" &&
      await_outcome "hostile $1 (binary junk)" 1 ;;
    4) printf '%s\r\n' "$long_line" >"$work/command.tmp" && mv "$work/command.tmp" "$command_file" &&
      await_outcome "hostile $1 (long line)" 1 ;;
    5) # Cut after "R0" it would be an unknown activity (01); whole it reads PLU.
      printf 'R0' >"$command_file"
      pause 0.05
      printf '3 %s /FILE=pieces.txt\r\n' "$tcp" >>"$command_file"
      await_outcome "hostile $1 (in pieces)" 0 ;;
  esac
}

tcp="/IPADDR=127.0.0.1 /IPPORT=$port /ECR=465 /TO=2000"
wrong=0
hostile_done=0
started=$(date +%s)
for ((i = 1; i <= count; i++)); do
  if ((i % 50 == 0)); then
    run_command "R03 /IPADDR=127.0.0.1 /IPPORT=$dead_port /ECR=465 /TO=500 /FILE=dead.txt" 9
  else
    case $((i % 4)) in
      1) run_command "R03 $tcp /FILE=plu.txt" 0 ;;
      2) run_command "STS $tcp /FILE=sts.txt" 0 ;;
      3) run_command "R01 $tcp /FILE=dep.txt" 0 ;;
      0) run_command "R00 $tcp /FILE=none.txt" 1 ;;
    esac
  fi
  while ((hostile_done * count < i * hostile)); do
    run_hostile "$hostile_done"
    hostile_done=$((hostile_done + 1))
  done
  if ((i == 1)); then
    start_rss=$(rss_kib)
    start_fds=$(descriptors)
    echo "after command 1: RSS $start_rss KiB, $start_fds open descriptors"
  fi
  if ((i % 1000 == 0)); then echo "after command $i: RSS $(rss_kib) KiB, $(descriptors) open descriptors, $wrong wrong"; fi
done
end_rss=$(rss_kib)
end_fds=$(descriptors)
elapsed=$(($(date +%s) - started))

printf 'close\r\n' >"$work/command.tmp"
mv "$work/command.tmp" "$command_file"
status=0
wait "$module_pid" || status=$?
module_pid=

secret_kept=yes
[[ $(<"$work/secret") == "$secret_text"$'\r' ]] || secret_kept=no
echo "commands: $count good and $hostile_done hostile in $elapsed s; wrong error.dat: $wrong; secret file unchanged: $secret_kept"
echo "resident memory: $start_rss KiB after the first command, $end_rss KiB at the end, growth $((end_rss - start_rss)) KiB"
echo "open descriptors: $start_fds after the first command, $end_fds at the end"
echo "exit status after CLOSE: $status"
((wrong == 0 && end_fds <= start_fds && end_rss - start_rss < 1024 && status == 0)) && [[ $secret_kept == yes ]]
