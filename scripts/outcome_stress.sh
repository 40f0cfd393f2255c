#!/usr/bin/env bash
# Starts many commands in groups in one program folder while a reader polls
# "error.dat", and counts what the reader saw. Every command must leave a
# complete outcome (exit status 0, its "ErrorCode" line in the log), and the
# reader must never find the file empty or half written (finding no file is
# fine: a command removes the previous outcome when it starts).
#
#   scripts/outcome_stress.sh [BUILD_DIR] [COMMANDS] [GROUP]    (defaults: build 600 6)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
build=${1:-build}
total=${2:-600}
group=${3:-6}

folder=$(mktemp -d)
sim_pid=
reader_pid=
trap 'merv_stop "$reader_pid" "$sim_pid"; rm -rf "$folder"' EXIT

cp "$build/mervmodul" "$folder/"
merv_log_settings "$folder/config"

# A register for the commands that really transfer a table.
coproc SIM { exec "$build/mervsim" --tcp 0 --plu-count 5; }
# shellcheck disable=SC2153 # SIM_PID is set by coproc
sim_pid=$SIM_PID
read -r ready <&"${SIM[0]}"
port=${ready##*:}

commands=(
  "R03 /IPADDR=127.0.0.1 /IPPORT=$port /ECR=465 /FILE=plu.txt"
  "R03 /BR=x"
  "R03 /COM=x"
  "R01 /IPADDR=127.0.0.1 /IPPORT=$port /ECR=465 /FILE=dep.txt"
  "R03 /IPPORT=4001"
  "/COM=1 /BR=2"
)

# The reader: counts reads, and any content that is not a whole outcome.
(
  reads=0 absent=0 broken=0
  outcome=$'^[ 0-9][0-9]\r\n3\\.02F\r\n$'
  while [ ! -e "$folder/stop" ]; do
    text=
    if { IFS= read -r -d '' text || true; } 2>/dev/null <"$folder/error.dat"; then
      reads=$((reads + 1))
      if [[ ! $text =~ $outcome ]]; then
        broken=$((broken + 1))
        printf 'reader saw: %q\n' "$text" >&2
      fi
    else
      absent=$((absent + 1))
    fi
  done
  echo "$reads $absent $broken" >"$folder/reader.txt"
) &
reader_pid=$!

failed=0
started=$(date +%s%N)
for ((n = 0; n < total; n += group)); do
  pids=()
  for ((k = 0; k < group && n + k < total; k++)); do
    # shellcheck disable=SC2086
    "$folder/mervmodul" ${commands[$(((n + k) % ${#commands[@]}))]} 2>>"$folder/stderr.txt" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
done
ended=$(date +%s%N)
touch "$folder/stop"
wait "$reader_pid"
reader_pid=
read -r reads absent broken <"$folder/reader.txt"

codes=$("$build/kllog" "$folder/KL.log" | grep -c 'ErrorCode:' || true)
waits=$("$build/kllog" "$folder/KL.log" | grep -c 'Cekam, az skonci jiny prikaz' || true)
echo "commands: $total in groups of $group, $(((ended - started) / 1000000)) ms"
echo "non-zero exit statuses: $failed"
echo "outcomes logged (ErrorCode lines): $codes"
echo "commands that waited for their turn: $waits"
echo "reader: $reads reads of a whole outcome or not, $absent times no file, $broken empty or half written"
[ "$failed" -eq 0 ] && [ "$codes" -eq "$total" ] && [ "$broken" -eq 0 ]
