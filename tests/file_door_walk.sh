#!/usr/bin/env bash
# Walks every output of scripts/outputs.tsv: plants at each of its names in
# turn a symbolic link to a file of root's, a link to a file of another user,
# a hard link to the other user's file, and a FIFO, runs the output's
# command, and checks that the planted files are untouched and the command
# was not held. Names in the shared folder ($SH, sticky and world-writable
# like /tmp) are planted by the other user (nobody), as an attacker there
# would. Before the plants, the command runs once on a clean folder and must
# make the output, so that a wrong row cannot pass unnoticed.
#
# Outputs are walked four at a time, each in a folder of its own with its
# own register.
#
# Usage: file_door_walk.sh BUILD_DIR SOURCE_DIR. Exit 77 (skipped) when not
# run as root or without a user "nobody": the links of another user need both.
set -uo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
parallel=4

if [[ $(id -u) != 0 ]] || ! id nobody >/dev/null 2>&1; then
  echo "file_door_walk: skipped: needs root and a user 'nobody' to plant another user's links"
  exit 77
fi

top=$(mktemp -d /tmp/mervdoorwalk.XXXXXX)
trap 'rm -rf "$top"' EXIT
export MODULE=$build/mervmodul FLEET=$build/mervfleet VYRNAK=$build/vyrnak MERVD=$build/mervd
DAY=$(date +%Y%m%d)
export DAY
unset DISPLAY WAYLAND_DISPLAY TEMP TMPDIR

# The instance script as the package lays it out: bin/ and lib/mervmodul/.
mkdir -p "$top/inst/bin" "$top/inst/lib/mervmodul"
cp "$source_dir/scripts/mervmodul-instance" "$top/inst/bin/"
ln -s "$MODULE" "$top/inst/lib/mervmodul/mervmodul"
export INSTANCE=$top/inst/bin/mervmodul-instance

# Waits until a program started in the background (the print viewer, the
# resident mode) has put its file in place.
settle() {
  local i
  for ((i = 0; i < 50; ++i)); do
    [[ $(stat -c %F:%h "$1" 2>/dev/null) == "regular file:1" ]] && return 0
    sleep 0.1
  done
}
# Waits up to 5 s for the name to be gone.
gone() {
  local i
  for ((i = 0; i < 50; ++i)); do
    [[ -e $1 || -L $1 ]] || return 0
    sleep 0.1
  done
}
# A path as the module's parameters take it: "/" separates parameters.
at() { printf '%s' "${1//\//\\}"; }
export -f settle gone at

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

# Starts mervsim with the options given; sets PORT and LINE.
sim=""
start_register() {
  local options=$1 ready
  if [[ $options == card ]]; then
    coproc SIM { exec "$build/mervsim" --pty --link "$W/com1" --card "$W/card.img" 2>/dev/null 3<&-; }
    export MERV_COM1=$W/com1
    LINE="/COM=1 /BR=2 /ECR=465"
  else
    # shellcheck disable=SC2086
    coproc SIM { exec "$build/mervsim" --tcp 0 $options 2>/dev/null 3<&-; }
  fi
  sim=$SIM_PID
  read -r -t 10 ready <&"${SIM[0]}" || { fail "mervsim did not start ($options)"; return 1; }
  if [[ $options != card ]]; then
    PORT=${ready##*:}
    LINE="/IPADDR=127.0.0.1 /IPPORT=$PORT /ECR=465"
  fi
  export PORT LINE
}

failures=0
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
    hardlink-other) ln "$W/victims/nobody" "$name" ;;
    fifo) mkfifo "$name" ;;
    none) return 0 ;;
  esac
  [[ $name == "$SH"/* ]] && chown -h nobody "$name"
  return 0
}

walk_one() {
  local output=$1 kind=$2 name=$3 command=$4 before=$failures
  RUN=$((RUN + 1))
  export RUN
  rm -rf "$W/p" "$W/sh"
  mkdir -p "$W/p" "$W/sh"
  chmod 1777 "$W/sh"
  export P=$W/p SH=$W/sh MERV_PROGRAM_DIR=$W/p/
  name=$(eval "printf '%s' \"$name\"")
  # The shared folder's subfolders are shared as well.
  if [[ $name == "$SH"/*/* ]]; then mkdir -p "$(dirname "$name")" && chmod 1777 "$(dirname "$name")"; fi
  plant "$kind" "$name"
  timeout 30 bash -c "$command" >"$W/out.txt" 2>&1 </dev/null 3<&-
  [[ $? == 124 ]] && fail "$output, $kind at $name: the command was held (30 s)"
  cmp -s "$W/victims/root" "$top/root.expected" || fail "$output, $kind at $name: root's file was written"
  cmp -s "$W/victims/nobody" "$top/nobody.expected" || fail "$output, $kind at $name: nobody's file was written"
  [[ -f $W/victims/root && ! -L $W/victims/root ]] || fail "$output, $kind at $name: root's file was replaced"
  [[ $(stat -c %U "$W/victims/nobody") == nobody ]] || fail "$output, $kind at $name: nobody's file changed owner"
  # Without a plant the command must make the output (a random name: one
  # beginning as the name does), or the walk proves nothing.
  if [[ $kind == none ]] && ! compgen -G "${name%.*}*" >/dev/null; then
    fail "$output: the command made no $name"
  fi
  if ((failures > before)); then
    sed 's/^/    /' "$W/out.txt" | head -5
    restore_victims
  fi
}

# One row of the table, in the folder W of its own; the last line of its
# output is the number of failures.
walk_row() {
  local output=$1 rule=$2 names=$3 register=$4 command=$5 name kind started=$SECONDS
  export W
  mkdir -p "$W/config/Kelmora"
  printf '[Ver2]\r\nLogSouborSifra=1\r\n' >"$W/config/Kelmora/VOR-Manager.ini"
  export XDG_CONFIG_HOME=$W/config
  restore_victims
  RUN=0
  if [[ $register == - ]] || start_register "$register"; then
    for name in $names; do
      for kind in none link-root link-other hardlink-other fifo; do
        walk_one "$output" "$kind" "$name" "$command"
      done
    done
  fi
  [[ -n $sim ]] && { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; }
  echo "walked: $output ($rule, $RUN runs, $((SECONDS - started)) s)"
  echo "$failures"
}

restore_victims_expected() {
  W=$top/expected restore_victims
  cp -p "$top/expected/victims/root" "$top/root.expected"
  cp -p "$top/expected/victims/nobody" "$top/nobody.expected"
}
restore_victims_expected

rows=0
while IFS=$'\t' read -r -u 3 output rule names _ register command; do
  [[ -z $output || $output == \#* ]] && continue
  if [[ $names == - || $command == - ]]; then
    echo "not walked: $output (no command that runs without a modem line)"
    continue
  fi
  rows=$((rows + 1))
  while (($(jobs -rp | wc -l) >= parallel)); do wait -n; done
  (W=$top/row$rows walk_row "$output" "$rule" "$names" "$register" "$command" >"$top/row$rows.log" 2>&1) 3<&- &
done 3<"$source_dir/scripts/outputs.tsv"
wait

total=0
for ((row = 1; row <= rows; ++row)); do
  sed '$d' "$top/row$row.log"
  total=$((total + $(tail -1 "$top/row$row.log")))
done
echo "file_door_walk: $rows outputs, $total failures"
((total == 0))
