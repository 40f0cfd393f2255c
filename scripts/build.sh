#!/usr/bin/env bash
# Configures and builds into the folder given (default: build).
# Extra arguments go to cmake, e.g. -DMERV_SANITIZE=ON; "--target NAME"
# builds that target only (repeat it for more).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
options=()
targets=()
while (($#)); do
  if [[ $1 == --target ]]; then
    targets+=(--target "$2")
    shift 2
  else
    options+=("$1")
    shift
  fi
done
cmake -S . -B "$dir" -DMERV_WERROR=ON "${options[@]}" >/dev/null
cmake --build "$dir" -j2 "${targets[@]}"
