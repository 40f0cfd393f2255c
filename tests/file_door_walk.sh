#!/usr/bin/env bash
# Walks every output of scripts/outputs.tsv: plants at each of its names in
# turn a symbolic link to a file of root's, a link to a file of another user,
# a hard link to each, and a FIFO, runs the output's command, and checks that
# the planted files are untouched and the command was not held. Names in the
# shared folder ($SH, sticky and world-writable like /tmp) are planted by the
# other user (nobody), as an attacker there would.
#
# Usage: file_door_walk.sh BUILD_DIR SOURCE_DIR. Exit 77 (skipped) when not
# run as root or without a user "nobody": the links of another user need both.
set -uo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)

if [[ $(id -u) != 0 ]] || ! id nobody >/dev/null 2>&1; then
  echo "file_door_walk: skipped: needs root and a user 'nobody' to plant another user's links"
  exit 77
fi

W=$(mktemp -d /tmp/mervdoorwalk.XXXXXX)
sims=()
cleanup() {
  local pid
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$W"
}
trap cleanup EXIT
export W
export MODULE=$build/mervmodul FLEET=$build/mervfleet VYRNAK=$build/vyrnak
export DAY=$(date +%Y%m%d)
export XDG_CONFIG_HOME=$W/config
mkdir -p "$XDG_CONFIG_HOME/Kelmora"
printf '[Ver2]\r\nLogSouborSifra=1\r\n' >"$XDG_CONFIG_HOME/Kelmora/VOR-Manager.ini"
unset DISPLAY WAYLAND_DISPLAY TEMP TMPDIR

# The instance script as the package lays it out: bin/ and lib/mervmodul/.
mkdir -p "$W/inst/bin" "$W/inst/lib/mervmodul"
cp "$source_dir/scripts/mervmodul-instance" "$W/inst/bin/"
ln -s "$MODULE" "$W/inst/lib/mervmodul/mervmodul"
export INSTANCE=$W/inst/bin/mervmodul-instance

# The files the plants lead to: root's (rw-r--r--) and nobody's, which the
# mode lets anyone write.
restore_victims() {
  rm -rf "$W/victims"
  mkdir -p "$W/victims"
  printf "root's file\n" >"$W/victims/root"
  chmod 644 "$W/victims/root"
  printf "nobody's file\n" >"$W/victims/nobody"
  chown nobody "$W/victims/nobody"
  chmod 666 "$W/victims/nobody"
}
restore_victims
cp -p "$W/victims/root" "$W/root.expected"
cp -p "$W/victims/nobody" "$W/nobody.expected"

# Starts mervsim with the options given; sets PORT and LINE.
start_register() {
  local options=$1 ready
  if [[ $options == card ]]; then
    coproc SIM { exec "$build/mervsim" --pty --link "$W/com1" --card "$W/card.img" 2>/dev/null; }
    export MERV_COM1=$W/com1
    LINE="/COM=1 /BR=2 /ECR=465"
  else
    # shellcheck disable=SC2086
    coproc SIM { exec "$build/mervsim" --tcp 0 $options 2>/dev/null; }
  fi
  sims+=("$SIM_PID")
  read -r -t 10 ready <&"${SIM[0]}" || { echo "mervsim did not start ($options)"; exit 1; }
  if [[ $options != card ]]; then
    PORT=${ready##*:}
    LINE="/IPADDR=127.0.0.1 /IPPORT=$PORT /ECR=465"
  fi
  export PORT LINE
}

stop_register() {
  local pid=${sims[-1]}
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  unset 'sims[-1]'
}

# Waits until a program started in the background (the print viewer, the
# resident mode) has put its file in place.
settle() {
  local i
  for ((i = 0; i < 50; ++i)); do
    [[ $(stat -c %F:%h "$1" 2>/dev/null) == "regular file:1" ]] && return 0
    sleep 0.1
  done
}
export -f settle

# A path as the module's parameters take it: "/" separates parameters.
at() { printf '%s' "${1//\//\\}"; }
export -f at

failures=0
runs=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Plants `kind` at `name`; in the shared folder the plant is nobody's.
plant() {
  local kind=$1 name=$2
  mkdir -p "$(dirname "$name")"
  case $kind in
    link-root) ln -s "$W/victims/root" "$name" ;;
    link-other) ln -s "$W/victims/nobody" "$name" ;;
    hardlink-root) ln "$W/victims/root" "$name" ;;
    hardlink-other) ln "$W/victims/nobody" "$name" ;;
    fifo) mkfifo "$name" ;;
    none) return 0 ;;
  esac
  [[ $name == "$SH"/* ]] && chown -h nobody "$name"
  return 0
}

walk_one() {
  local output=$1 kind=$2 name=$3 command=$4
  runs=$((runs + 1))
  local before=$failures
  export RUN=$runs
  rm -rf "$W/p" "$W/sh"
  mkdir -p "$W/p" "$W/sh"
  chmod 1777 "$W/sh"
  export P=$W/p SH=$W/sh MERV_PROGRAM_DIR=$W/p/
  name=$(eval "printf '%s' \"$name\"")
  # The shared folder's subfolders are shared as well.
  if [[ $name == "$SH"/*/* ]]; then mkdir -p "$(dirname "$name")" && chmod 1777 "$(dirname "$name")"; fi
  plant "$kind" "$name"
  timeout 30 bash -c "$command" >"$W/out.txt" 2>&1 </dev/null
  if [[ -n ${WALK_VERBOSE:-} && -f $P/error.dat ]]; then echo "  $kind: $(head -c 2 "$P/error.dat")"; fi
  local status=$?
  [[ $status == 124 ]] && fail "$output, $kind at $name: the command was held (30 s)"
  cmp -s "$W/victims/root" "$W/root.expected" || fail "$output, $kind at $name: root's file was written"
  cmp -s "$W/victims/nobody" "$W/nobody.expected" || fail "$output, $kind at $name: nobody's file was written"
  [[ -f $W/victims/root && ! -L $W/victims/root ]] || fail "$output, $kind at $name: root's file was replaced"
  [[ $(stat -c %U "$W/victims/nobody") == nobody ]] || fail "$output, $kind at $name: nobody's file changed owner"
  # Without a plant, the command must make the output at all (a random
  # name: one beginning as the name does), or the walk proves nothing.
  if [[ $kind == none ]] && ! compgen -G "${name%.*}*" >/dev/null; then
    fail "$output: the command made no $name"
  fi
  if ((failures > before)); then
    sed 's/^/    /' "$W/out.txt" | head -5
    restore_victims
  fi
  return 0
}

current=""
while IFS=$'\t' read -r output rule names sources register command; do
  [[ -z $output || $output == \#* ]] && continue
  if [[ $names == - || $command == - ]]; then
    echo "not walked: $output (no command that runs without a modem line)"
    continue
  fi
  if [[ $register != "$current" ]]; then
    [[ -n $current && $current != - ]] && stop_register
    current=$register
    [[ $register != - ]] && start_register "$register"
  fi
  for name in $names; do
    for kind in none link-root link-other hardlink-root hardlink-other fifo; do
      walk_one "$output" "$kind" "$name" "$command"
    done
  done
  echo "walked: $output ($rule)"
done <"$source_dir/scripts/outputs.tsv"

echo "file_door_walk: $runs runs, $failures failures"
((failures == 0))
