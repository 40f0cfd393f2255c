#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz and runs each for the
# given number of seconds (default 60), starting from its seed corpus in
# fuzz/corpus/<name> and its dictionary fuzz/dict/<name>.dict. New inputs go
# to a scratch copy of the corpus, never into the repository. The targets run
# one for each processor at a time. Prints how many inputs each target ran;
# fails on a crash, leak or undefined behaviour, leaving the reproducer in
# the scratch folder named.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
# MERV_FUZZ_BUILD names a clang build folder configured with -DMERV_FUZZ=ON
# (scripts/test.sh passes its sanitizer build); else build-fuzz is made.
build=${MERV_FUZZ_BUILD:-build-fuzz}
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DMERV_FUZZ=ON -DMERV_TESTS=OFF \
    -DMERV_BENCHMARKS=OFF >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    targets+=("$name")
  done
fi
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}" >/dev/null
scratch=$(mktemp -d /tmp/merv-fuzz.XXXXXX)
# One target: its outcome (the exit status) goes to <name>.rc beside its log.
run_target() {
  local name=$1 corpus="$scratch/$1"
  mkdir -p "$corpus"
  cp -r "fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
  local options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/$name-"
                 -max_len=4096)
  [ -f "fuzz/dict/$name.dict" ] && options+=(-dict="fuzz/dict/$name.dict")
  local status=0
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz_$name" "${options[@]}" "$corpus" >"$scratch/$name.log" 2>&1 || status=$?
  echo "$status" >"$scratch/$name.rc"
}
for name in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= $(nproc))); do wait -n || true; done
  run_target "$name" &
done
wait
failed=0
for name in "${targets[@]}"; do
  if [[ $(cat "$scratch/$name.rc") != 0 ]]; then
    tail -n 60 "$scratch/$name.log"
    echo "fuzz_$name: FAILED, reproducer and log in $scratch" >&2
    failed=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log")
  echo "fuzz_$name: ${runs:-?} inputs in ${seconds} s, no crash"
done
((failed == 0)) || exit 1
rm -rf "$scratch"
