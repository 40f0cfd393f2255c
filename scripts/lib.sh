# Steps the scripts share: sourced (`source scripts/lib.sh`), not run.
# shellcheck shell=bash

# Builds the programs (after installing what the build needs) unless each
# program named is already in the folder given.
#   merv_need_programs BIN PROGRAM...
merv_need_programs() {
  local bin=$1 program
  shift
  for program; do
    if [[ ! -x $bin/$program ]]; then
      scripts/setup.sh
      scripts/build.sh build
      return
    fi
  done
}

# A settings file of the folder's own with the enciphered log switched on,
# so that the user's settings stay untouched; XDG_CONFIG_HOME names it.
#   merv_log_settings CONFIG_FOLDER
merv_log_settings() {
  mkdir -p "$1/Kelmora"
  printf '[Ver2]\nLogSouborSifra=1\n' >"$1/Kelmora/VOR-Manager.ini"
  export XDG_CONFIG_HOME=$1
}

# Waits until the file has something in it, up to TENTHS tenths of a second
# (a program's ready line); returns 1 if it stays empty.
#   merv_wait_for_output FILE TENTHS
merv_wait_for_output() {
  local _
  for _ in $(seq "$2"); do
    [[ -s $1 ]] && return 0
    sleep 0.1
  done
  [[ -s $1 ]]
}

# Starts the register emulator (the command given) in the background with its
# standard output into READY_FILE and waits up to TENTHS tenths of a second
# for its ready line; sets sim_pid, and port when it listens on TCP.
#   merv_start_sim READY_FILE TENTHS MERVSIM [OPTION...]
merv_start_sim() {
  local ready=$1 tenths=$2
  shift 2
  "$@" >"$ready" &
  sim_pid=$!
  merv_wait_for_output "$ready" "$tenths" || true
  # shellcheck disable=SC2034 # the caller's
  port=$(sed 's/.*://' "$ready")
}

# Ends the processes given (empty ids are passed over) and waits for them.
#   merv_stop PID...
merv_stop() {
  local pid
  for pid; do
    if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  for pid; do
    if [[ -n $pid ]]; then wait "$pid" 2>/dev/null || true; fi
  done
}

# A temporary folder in `work`, removed at the exit after the processes whose
# ids sim_pid and module_pid hold are ended.
#   merv_work_folder
merv_work_folder() {
  work=$(mktemp -d)
  sim_pid=
  module_pid=
  trap 'merv_stop "$module_pid" "$sim_pid"; rm -rf "$work"' EXIT
}

# The Debian archive this machine installs its packages from: the first
# "URIs:" of a deb822 source or the first "deb" line of a one-line list
# (MERV_DEBIAN_MIRROR overrides it).
merv_debian_mirror() {
  if [[ -n ${MERV_DEBIAN_MIRROR:-} ]]; then
    echo "$MERV_DEBIAN_MIRROR"
    return
  fi
  local mirror
  mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | sed -n 's/^URIs: *\([^ ]*\).*/\1/p' | grep -v security | head -1)
  [[ -n $mirror ]] || mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) .*/\2/p' /etc/apt/sources.list 2>/dev/null | head -1)
  [[ -n $mirror ]] || { echo "no Debian archive in the apt sources: set MERV_DEBIAN_MIRROR" >&2; return 1; }
  echo "$mirror"
}

# Downloads a Debian source package into the current folder through apt,
# which checks it against the archive's signed index: a source list of this
# folder's own (the system's apt configuration is left alone, no root is
# needed), then `apt-get source --download-only` with the options given.
#   merv_fetch_debian_source PACKAGE [APT-GET SOURCE OPTION...]
merv_fetch_debian_source() {
  local package=$1 suite mirror folder
  shift
  folder=$PWD
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  mirror=$(merv_debian_mirror)
  mkdir -p apt/lists/partial apt/cache/archives/partial
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" >apt/sources.list
  local apt_options=(-o Dir::Etc::SourceList="$folder/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
                     -o Dir::State::Lists="$folder/apt/lists" -o Dir::Cache="$folder/apt/cache"
                     -o APT::Sandbox::User="$(id -un)" -o Debug::NoLocking=1 -qq)
  apt-get "${apt_options[@]}" update
  apt-get "${apt_options[@]}" source --download-only "$@" "$package" >/dev/null
  rm -rf apt/lists
}
