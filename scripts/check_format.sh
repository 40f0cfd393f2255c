#!/usr/bin/env bash
# Every C++ file git tracks laid out as .clang-format says (clang-format
# --dry-run -Werror): lists each file that differs and fails if any does.
# There is no generated or third-party C++ source among the tracked files
# (the generated ones are written into the build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
report=$(clang-format --dry-run -Werror "${files[@]}" 2>&1) && status=0 || status=$?
if ((status != 0)); then
  grep -E -o '^[^ :]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort | uniq -c |
    awk '{ printf "not formatted: %s (%d places)\n", $2, $1 }' >&2
  echo "check_format: run clang-format -i on the files above" >&2
  exit 1
fi
echo "check_format: ${#files[@]} files as .clang-format says"
