#!/usr/bin/env bash
# The module's main job, end to end on this machine: builds it, copies the
# executable alone into a fresh folder (out/demo) and runs commands the way a
# shop application does, with the enciphered communication log switched on.
# Shows "error.dat" and the log, read back with kllog.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build

demo=out/demo
rm -rf "$demo"
mkdir -p "$demo/config/Kelmora"
cp build/mervmodul "$demo/"
# A settings file of the demo's own, so the user's settings stay untouched.
printf '[Ver2]\nLogSouborSifra=1\n' >"$demo/config/Kelmora/VOR-Manager.ini"
export XDG_CONFIG_HOME=$PWD/$demo/config

run() {
  echo "\$ mervmodul $*"
  "$demo/mervmodul" "$@"
  printf 'error.dat: %s\n\n' "$(tr -d '\r' <"$demo/error.dat" | paste -sd' ')"
}

run R03 /COM=1 /BR=x /ECR=465 /FILE=plu.txt
run R03 /IPADDR=127.0.0.1 /ECR=465 /FILE=plu.txt
run R03 /IPADDR=127.0.0.1 /IPPORT=4001 /ECR=465 /FILE=plu.txt

echo "Communication log ($demo/KL.log, deciphered):"
build/kllog "$demo/KL.log"
