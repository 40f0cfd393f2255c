#!/usr/bin/env bash
# The file door's check (scripts/check_file_door.sh) in a small repository
# made here: each way of opening, creating, renaming or copying a file of
# its own is named when code outside the door uses it, however it is
# spelled; comments and look-alike names are not.
#
# Usage: check_file_door_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
git init -q .
mkdir -p scripts app
cp "$source_dir/scripts/check_file_door.sh" scripts/
printf '# name\trule\tcommand\tsources\nprobe\treplace\tnone\tapp/probe.cpp\n' >scripts/outputs.tsv

failures=0
# expect KIND CODE: "named" when the check must name app/probe.cpp, "clean"
# when it must pass.
expect() {
  local kind=$1 code=$2 output status=0
  printf '%s\n' "$code" >app/probe.cpp
  output=$(scripts/check_file_door.sh 2>&1) || status=$?
  if [[ $kind == named && ($status == 0 || $output != *app/probe.cpp*) ]]; then
    echo "not named: $code"
    failures=$((failures + 1))
  elif [[ $kind == clean && $status != 0 ]]; then
    echo "named though clean: $code ($output)"
    failures=$((failures + 1))
  fi
}

expect named 'std::ofstream out("x");'
expect named 'std::wofstream out(L"x");'
expect named 'using std::ifstream; ifstream in("x");'
expect named 'std::basic_ofstream<char> out("x");'
expect named 'std::filebuf buffer; buffer.open("x", std::ios::out);'
expect named 'FILE* f = fopen("x", "w");'
expect named '_wfopen_s(&f, L"x", L"w");'
expect named 'int fd = ::open("x", O_RDONLY);'
expect named 'int fd = ::open'
expect named 'int fd = openat(dir, "x", O_RDONLY);'
expect named 'int fd = creat("x", 0600);'
expect named 'std::filesystem::copy_file(a, b);'
expect named 'std::filesystem::rename(a, b);'
expect named 'MoveFileExW(a, b, MOVEFILE_REPLACE_EXISTING);'
expect named 'CopyFileW(a, b, FALSE);'
expect named 'ReplaceFileW(a, b, nullptr, 0, nullptr, nullptr);'
expect named 'HANDLE h = CreateFile2(name, GENERIC_READ, 0, OPEN_EXISTING, nullptr);'
expect clean '// fopen("x") and std::ofstream are described here, not called'
expect clean 'bool reopened = line.open(); int open_count = 0; Reopen(x);'
expect clean 'const bool IsOpenFlag = true;'

if ((failures > 0)); then
  echo "check_file_door_test: $failures cases wrong"
  exit 1
fi
echo "check_file_door_test: every case as expected"
