#!/usr/bin/env bash
# Fleet benchmark: mervfleet reads the PLU table of many registers played by
# mervsim --tcp-range on loopback, a few of them failing on purpose (a port
# nobody listens on, a register that never answers, one that drops the line
# half-way), and its wall time is set against the ideal: the registers spread
# evenly over the jobs, rounds of one register's time.
#
#   scripts/bench_fleet.sh [--good-only] [REGISTERS [JOBS [PLU]]]     (default 200 32 5000)
#
# --good-only leaves the failing registers out. A silent register's attempts
# and pauses alone take about 22 s (three time-outs of 4 s, two pauses of 5 s),
# whatever the jobs, so in a short run they, not the fleet, set the wall time.
#
# One register's time is taken twice: a register read alone before the run,
# and the median of the registers that succeeded in the run (under the load
# of the run). Checks every table file (its row count, and the same bytes as
# the file of the register read alone), every failure's number, and prints
# the peak memory of mervfleet itself, of one module and of the emulators.
set -euo pipefail
cd "$(dirname "$0")/.."
failing=10  # 4 refused, 3 silent, 3 dropped
[[ ${1:-} == --good-only ]] && { failing=0; shift; }
registers=${1:-200}
jobs=${2:-32}
plu=${3:-5000}
build=${BUILD:-build}
[[ -x $build/mervmodul && -x $build/mervsim && -x $build/mervfleet ]] || { echo "build first: scripts/build.sh $build" >&2; exit 1; }

work=$(mktemp -d /tmp/merv-fleet-bench.XXXXXX)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config

port_is_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
range_is_free() { local p; for ((p = $1; p < $1 + $2; p++)); do port_is_free "$p" || return 1; done; }

# A range of free ports from a random start, below the system's ephemeral
# ports (32768 on), which outgoing connections take: FIRST.
free_range() {
  local first
  for _ in $(seq 20); do
    first=$((10000 + RANDOM % (22000 - $1)))
    range_is_free "$first" "$1" && { echo "$first"; return; }
  done
  echo "no free range of $1 ports" >&2; exit 1
}

start_range() {  # name first count options...; waits for the ready line
  local name=$1 first=$2 count=$3
  shift 3
  "$build/mervsim" --tcp-range "$first:$count" --plu-count "$plu" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  pids+=($!)
  eval "${name}_pid=$!"  # main_pid and silent_pid
  for _ in $(seq 600); do grep -q listening "$work/$name.out" && return; sleep 0.1; done
  echo "mervsim $name did not start: $(cat "$work/$name.err")" >&2; exit 1
}

main_pid=
good=$((registers - failing))
main_first=$(free_range $((good + 3)))
start_range main "$main_first" $((good + 3)) --faulty 3 --drop-after $((plu / 2))
silent_first=$(free_range 3)
start_range silent "$silent_first" 3 --silent-after 0
refused_first=$(free_range 4)

# The registers file: the failing ones spread through it.
{
  echo "name,line,model"
  g=0 f=0
  for ((i = 0; i < registers; i++)); do
    if ((failing > 0 && f < failing && i % (registers / failing) == registers / failing / 2)); then
      if ((f < 4)); then echo "refused$f,tcp:127.0.0.1:$((refused_first + f)),465"
      elif ((f < 7)); then echo "silent$f,tcp:127.0.0.1:$((silent_first + f - 4)),465"
      else echo "dropped$f,tcp:127.0.0.1:$((main_first + good + f - 7)),465"; fi
      f=$((f + 1))
    else
      printf 'reg%04d,tcp:127.0.0.1:%d,465\n' "$g" $((main_first + g)); g=$((g + 1))
    fi
  done
} >"$work/registers.csv"

# One register alone, as the ideal's unit: its wall time and its table file.
mkdir -p "$work/alone"
printf 'name,line,model\nalone,tcp:127.0.0.1:%d,465\n' "$main_first" >"$work/alone.csv"
alone_start=$(date +%s.%N)
"$build/mervfleet" --registers "$work/alone.csv" --out "$work/alone" -- R03 '/FILE={name}.txt'
alone=$(awk -v a="$alone_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')

echo "load before the run: $(uptime)"
fleet_start=$(date +%s.%N)
/usr/bin/time -f '%M %U %S' -o "$work/fleet.time" "$build/mervfleet" --registers "$work/registers.csv" --out "$work/out" \
  --jobs "$jobs" -- R03 '/FILE={name}.txt' &
fleet_pid=$!
pids+=("$fleet_pid")
# mervfleet's own peak (VmHWM of the mervfleet process, not of time(1)).
fleet_peak=0 sim_peak=0
while kill -0 "$fleet_pid" 2>/dev/null; do
  child=$(pgrep -P "$fleet_pid" -x mervfleet || true)
  if [[ -n $child ]]; then
    hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$child/status" 2>/dev/null || echo 0)
    ((hwm > fleet_peak)) && fleet_peak=$hwm
  fi
  hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$main_pid/status" 2>/dev/null || echo 0)
  ((hwm > sim_peak)) && sim_peak=$hwm
  sleep 0.2
done
wait "$fleet_pid" && status=0 || status=$?
wall=$(awk -v a="$fleet_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
echo "load after the run:  $(uptime)"

# Checks: 190 successes with complete, identical files; each failure's number.
fail() { echo "CHECK FAILED: $*" >&2; exit 1; }
expected_status=$((failing > 0 ? 1 : 0))
[[ $status == "$expected_status" ]] || fail "exit status $status, not $expected_status"
rows=$(($(wc -l <"$work/out/results.csv") - 1))
[[ $rows == "$registers" ]] || fail "$rows rows, not $registers"
ok=$(awk -F, 'NR > 1 && $3 == "0"' "$work/out/results.csv" | wc -l)
[[ $ok == "$good" ]] || fail "$ok successes, not $good"
expected_rows=$(wc -l <"$work/alone/alone/alone.txt")
[[ $expected_rows == "$plu" ]] || fail "the register alone wrote $expected_rows rows, not $plu"
for file in "$work"/out/reg*/reg*.txt; do cmp -s "$file" "$work/alone/alone/alone.txt" || fail "$file differs"; done
table_files=("$work"/out/reg*/reg*.txt)
[[ ${#table_files[@]} == "$good" ]] || fail "table files missing"
# The meaning may hold commas (quoted): attempts are counted from the end of the row.
awk -F, 'NR > 1 && $3 != "0" { print $1, $3, $(NF - 2) }' "$work/out/results.csv" | sort >"$work/failures"
while read -r name number _; do
  case $name in
    refused*) [[ $number == 9 ]] || fail "$name: $number, not 9" ;;
    silent*) [[ $number == 5 ]] || fail "$name: $number, not 5" ;;
    dropped*) [[ $number == 5 ]] || fail "$name: $number, not 5" ;;
    *) fail "$name failed with $number" ;;
  esac
done <"$work/failures"

median=$(awk -F, 'NR > 1 && $3 == "0" { print $6 }' "$work/out/results.csv" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
read -r module_peak fleet_user fleet_system < <(tail -n 1 "$work/fleet.time")
sim_ticks=$(awk '{ print $14 + $15 }' "/proc/$main_pid/stat")
echo
echo "registers $registers ($good good$( ((failing > 0)) && echo ', refused 4, silent 3, dropped 3')), jobs $jobs, $plu PLU each"
awk -v w="$wall" -v r="$registers" -v j="$jobs" -v a="$alone" -v m="$median" 'BEGIN {
  printf "wall time                         %8.1f s\n", w
  printf "one register alone                %8.2f s   ideal %6.1f s   ratio %.2f\n", a, r / j * a, w / (r / j * a)
  printf "one register in the run (median)  %8.2f s   ideal %6.1f s   ratio %.2f\n", m, r / j * m, w / (r / j * m)
}'
echo "failures: $(awk '{ printf "%s %s (%s attempts)  ", $1, $2, $3 }' "$work/failures")"
# No schedule ends before the slowest register's own attempts and pauses
# (a silent register: three time-outs and two pauses), whatever the jobs.
read -r slowest slowest_name < <(awk -F, 'NR > 1 { print $(NF - 1), $1 }' "$work/out/results.csv" | sort -n | tail -n 1)
awk -v w="$wall" -v r="$registers" -v j="$jobs" -v m="$median" -v s="$slowest" -v n="$slowest_name" 'BEGIN {
  i = r / j * m
  printf "slowest register %s: %.2f s from its first start to its end (attempts and pauses included)\n", n, s
  printf "ideal no shorter than the slowest register: %.1f s   ratio %.2f\n", (s > i ? s : i), w / (s > i ? s : i) }'
# The run ends with the register that ended last, which is not always the
# slowest: a failing one far down the file begins late and then takes its
# whole chain of attempts and pauses. Each register's end is its error.dat,
# its first start that less its seconds.
awk -F, 'NR > 1 { print $1, $3, $(NF - 1) }' "$work/out/results.csv" | while read -r name error seconds; do
  echo "$name $error $seconds $(stat -c %.9Y "$work/out/$name/error.dat")"
done >"$work/timeline"
awk -v f="$fleet_start" -v r="$registers" -v j="$jobs" -v m="$median" '
  $2 == 0 && $4 > good_end { good_end = $4 }
  $4 > last_end { last_end = $4; last = $1; last_seconds = $3 }
  END {
    printf "the good registers all ended by %.1f s: ratio %.2f to the ideal from the median register\n", good_end - f, (good_end - f) / (r / j * m)
    printf "the run ended with %s: first started at %.1f s, then %.2f s of attempts and pauses\n", last, last_end - last_seconds - f, last_seconds
  }' "$work/timeline"
awk -v u="$fleet_user" -v s="$fleet_system" -v t="$sim_ticks" -v k="$(getconf CLK_TCK)" -v r="$registers" -v f="$plu" 'BEGIN {
  printf "processor time: mervfleet and the modules %.1f s, mervsim %.1f s (all registers, the one alone included)\n", u + s, t / k
  printf "processor time per register (%d): modules %.3f s, mervsim %.3f s; per PLU record %.1f us and %.1f us\n",
    r + 1, (u + s) / (r + 1), t / k / (r + 1), (u + s) / (r + 1) / f * 1e6, t / k / (r + 1) / f * 1e6 }'
echo "peak memory: mervfleet $((fleet_peak / 1024)) MiB, largest process of the run $((module_peak / 1024)) MiB, mervsim ($((good + 3)) registers) $((sim_peak / 1024)) MiB"
