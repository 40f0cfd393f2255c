#!/usr/bin/env bash
# mervd benchmark: COMMANDS STS commands over LINES lines (registers played by
# mervsim --tcp-range on loopback), once through mervd (one client thread per
# line, each POST waiting for its outcome) and once running the module
# directly (one thread per line, one process per command), the same way in
# parallel. Prints the median time of a command each way and the difference,
# the time mervd adds to a command, and mervd's resident memory (VmRSS) after
# its start, after the first tenth of the commands and at the end.
#
#   scripts/bench_mervd.sh [BUILD_DIR [COMMANDS [LINES]]]   (default build 1000 10)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
commands=${2:-1000}
lines=${3:-10}
work=$(mktemp -d /tmp/mervdbench.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

first=$((20000 + RANDOM % 20000))
coproc SIM { exec "$build/mervsim" --tcp-range "$first:$lines" --plu-count 10 2>/dev/null; }
pids+=("$SIM_PID")
read -r -t 10 ready <&"${SIM[0]}" || { echo "mervsim did not start" >&2; exit 1; }

{
  printf '[mervd]\nlisten = 127.0.0.1:0\ntoken_file = %s/token\nmodule = %s/mervmodul\nqueue_limit = %s\n' \
    "$work" "$build" "$commands"
  for ((i = 0; i < lines; ++i)); do
    mkdir -p "$work/mervd/l$i" "$work/direct/l$i"
    printf '[line l%s]\nfolder = %s/mervd/l%s\nconnection = /IPADDR=127.0.0.1 /IPPORT=%s\nmodel = 465\n' \
      "$i" "$work" "$i" $((first + i))
  done
} >"$work/mervd.conf"
"$build/mervd" --config "$work/mervd.conf" >"$work/mervd.out" &
mervd=$!
pids+=("$mervd")
for ((i = 0; i < 100; ++i)); do
  ready=$(head -1 "$work/mervd.out")
  [[ -n $ready ]] && break
  sleep 0.1
done
[[ -n $ready ]] || { echo "mervd did not start" >&2; exit 1; }
port=${ready#*127.0.0.1:}
port=${port%%/*}

/usr/bin/python3 - "$build/mervmodul" "$work" "$port" "$mervd" "$commands" "$lines" "$first" <<'PYTHON'
import http.client, json, os, statistics, subprocess, sys, threading, time

module, work, port, pid, commands, lines, first = sys.argv[1:]
port, commands, lines, first = int(port), int(commands), int(lines), int(first)
token = open(f"{work}/token").read().strip()
per_line = commands // lines

def rss_kib():
    with open(f"/proc/{pid}/status") as status:
        return int(next(line for line in status if line.startswith("VmRSS")).split()[1])

def through_mervd(line, times, failures):
    for n in range(per_line):
        body = json.dumps({"activity": "STS", "parameters": {"FILE": "stav.txt"}, "request_id": f"b{line}-{n}"})
        began = time.monotonic()
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        connection.request("POST", f"/v1/lines/l{line}/commands", body,
                           {"Authorization": f"Bearer {token}", "Content-Type": "application/json"})
        answer = connection.getresponse()
        record = json.loads(answer.read())
        connection.close()
        times.append(time.monotonic() - began)
        if answer.status != 200 or record.get("error") != 0:
            failures.append(record)
        if line == 0 and n == per_line // 10:
            rss.append(rss_kib())

def directly(line, times, failures):
    folder = f"{work}/direct/l{line}"
    for n in range(per_line):
        began = time.monotonic()
        subprocess.run([module, "STS", "/IPADDR=127.0.0.1", f"/IPPORT={first + line}", "/ECR=465",
                        "/FILE=stav.txt", "/JSON"], cwd=folder, env=dict(os.environ, MERV_PROGRAM_DIR=folder + "/"),
                       check=True)
        times.append(time.monotonic() - began)
        with open(f"{folder}/error.dat") as outcome:
            if outcome.readline().strip() != "0":
                failures.append(n)

def run(way):
    times, failures = [], []
    threads = [threading.Thread(target=way, args=(line, times, failures)) for line in range(lines)]
    began = time.monotonic()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return times, failures, time.monotonic() - began

rss = [rss_kib()]
direct, direct_failures, direct_wall = run(directly)
served, served_failures, served_wall = run(through_mervd)
rss.append(rss_kib())
direct_ms = statistics.median(direct) * 1000
served_ms = statistics.median(served) * 1000
print(f"{len(direct)} STS over {lines} lines directly: median {direct_ms:.1f} ms, wall {direct_wall:.1f} s, "
      f"{len(direct_failures)} failed")
print(f"{len(served)} STS over {lines} lines through mervd: median {served_ms:.1f} ms, wall {served_wall:.1f} s, "
      f"{len(served_failures)} failed")
print(f"added by mervd per command (median): {served_ms - direct_ms:.1f} ms")
print(f"mervd VmRSS: {rss[0]} KiB at the start, {rss[1]} KiB after a tenth, {rss[2]} KiB at the end")
PYTHON
