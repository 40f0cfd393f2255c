#!/usr/bin/env bash
# The module's main job, end to end on this machine: builds it, starts the
# register emulator on a free loopback port with its demo data (model
# ECR 465T/465TF, 30,000 PLU), copies the executable alone into a fresh
# folder (out/demo) and runs commands the way a shop application does, with
# the enciphered communication log switched on: read the PLU table, write it
# back, read the daily financial report and the key position. Shows each
# "error.dat", the files written and the end of the log read back with kllog.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
scripts/setup.sh --demo
# Only the three programs it runs, in a folder of their own: no tests,
# benchmarks or fuzz targets, line tables only, a few sources compiled as one.
build="build-demo"
scripts/build.sh "$build" -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16 -DMERV_TESTS=OFF -DMERV_BENCHMARKS=OFF -DMERV_DEBUG_INFO=OFF \
  --target mervmodul --target mervsim --target kllog

demo=$PWD/out/demo
rm -rf "$demo"
mkdir -p "$demo"
cp "$build/mervmodul" "$demo/"
merv_log_settings "$demo/config"

sim_pid=
trap 'merv_stop "$sim_pid"' EXIT
merv_start_sim "$demo/mervsim.out" 50 "$build/mervsim" --tcp 0 --log "$demo/wire.log"
cat "$demo/mervsim.out"

run() {
  echo
  echo "\$ mervmodul $* /IPADDR=127.0.0.1 /IPPORT=$port /ECR=465"
  local started=$SECONDS
  "$demo/mervmodul" "$@" /IPADDR=127.0.0.1 /IPPORT="$port" /ECR=465
  printf 'error.dat: %s   (%d s)\n' "$(tr -d '\r' <"$demo/error.dat" | paste -sd' ')" $((SECONDS - started))
}

run R03 /FILE=plu.txt
echo "plu.txt: $(wc -l <"$demo/plu.txt") lines, the first three:"
head -3 "$demo/plu.txt" | iconv -f CP852 -t UTF-8
run W03 /FILE=plu.txt
run R70 /FILE=financni.txt
echo "financni.txt, the first five lines:"
head -5 "$demo/financni.txt" | iconv -f CP852 -t UTF-8
run STS /FILE=stav.txt
echo "stav.txt (key position): $(tr -d '\r' <"$demo/stav.txt")"
run R03 /BR=x /FILE=plu.txt

echo
echo "Communication log ($demo/KL.log), deciphered with kllog, the last 12 lines:"
"$build/kllog" "$demo/KL.log" | tail -12
