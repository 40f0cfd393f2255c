#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the production code (base,
# transport, model, protocol, journal, app and the tools; not the tests,
# benchmarks or fuzz targets), failing on any finding.
#
#   scripts/check_tidy.sh [BUILD_DIR]    (default build)
#
# It reads the build folder's compile_commands.json (the folder is configured
# once more with CMAKE_EXPORT_COMPILE_COMMANDS=ON if it has none; nothing is
# built). In a unity build the units of sixteen sources are checked as the
# compiler sees them, so each header is parsed once a unit rather than once a
# source: the transport layer's unit of 13 sources took 8.5 s of processor
# time, its sources one by one 44.2 s.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
build=${1:-build}
if [[ ! -f $build/compile_commands.json ]]; then
  cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
layers='base|transport|model|protocol|journal|app|tools'
programs='merv_(base|transport|model|protocol|journal|app)|rescomp|mervmodulw?|kllog|mervfleet|mervd|mervsim|vyrnak|mervsvc'
# The sources themselves (outside a unity build, or left out of its units)
# and the unity units of the production targets.
units="^$source/($layers)/|/CMakeFiles/($programs)\.dir/Unity/"
# The flags are GCC's: clang does not know some of its warning options.
# run-clang-tidy colours its output; the colours are taken out of the log.
run-clang-tidy-14 -p "$build" -j "$(nproc)" -quiet -header-filter="^$source/($layers)/" \
  -extra-arg=-Wno-unknown-warning-option "$units" 2>&1 | sed 's/\x1b\[[0-9;]*m//g' >"$build/clang-tidy.log" || true
# A header's finding is reported by every unit that includes it: counted once.
grep -E '^/.*: (warning|error): ' "$build/clang-tidy.log" | sort -u >"$build/clang-tidy.findings" || true
findings=$(wc -l <"$build/clang-tidy.findings")
if ((findings > 0)); then
  cat "$build/clang-tidy.findings" >&2
  echo "check_tidy: $findings findings (the whole output: $build/clang-tidy.log)" >&2
  exit 1
fi
echo "check_tidy: no findings in $(grep -c '^clang-tidy-14 ' "$build/clang-tidy.log") units"
