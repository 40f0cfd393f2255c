#!/usr/bin/env bash
# Lists every place outside the file door that opens or renames a file its
# own way, and exits non-zero when there is any. The door is
# base/safe_output_file* and base/input_file* (every output and input),
# base/durable_file* (the journal's exclusive create and no-replace rename)
# and base/exclusive_lock_file* (the folder's lock): there links, FIFOs,
# devices, time-outs and atomic replacement are handled once.
#
# Exempt: the tests, the fuzz targets and benchmarks (they prepare files for
# the code under test), the register emulator tools/mervsim, the resource
# compiler tools/rescomp (run by the build, not by a user), and two places
# that open devices rather than files: the serial line
# (transport/com_layer_*) and the null device a started viewer or a fleet's
# module gets as its standard streams (app/viewer_launch_posix.cpp,
# tools/mervfleet/child_process_win32.cpp).
#
# It also fails when a source file (outside the door and the exempt ones)
# calls the door's writing functions and is not named in scripts/outputs.tsv,
# the list of outputs that tests/file_door_walk.sh walks: a new output is
# added there, with the rule it follows and a command that makes it, or the
# check fails.
set -euo pipefail
cd "$(dirname "$0")/.."

door='^base/(safe_output_file|input_file|durable_file|exclusive_lock_file)(_posix|_win32|_platform)?\.(h|cpp)$'
exempt='^(tests|fuzz|bench|tools/mervsim|tools/rescomp)/|^transport/system_com_layer_(posix|win32)\.cpp$|^app/viewer_launch_posix\.cpp$|^tools/mervfleet/child_process_win32\.cpp$'
# Comments are not code: a line whose code part (before "//") names a call.
# The streams in every spelling (ofstream, std::wifstream, basic_fstream<...>,
# filebuf), the C and POSIX calls (open, openat, creat, fopen and its wide and
# _s forms), the renaming and copying calls of both systems.
pattern='(^|[^A-Za-z0-9_])(basic_)?w?(o|i)?(fstream|filebuf)([^A-Za-z0-9_]|$)|std::filesystem::(rename|copy_file|copy)[[:space:]]*\(|std::rename|(^|[^A-Za-z0-9_])(fopen|_wfopen|fopen_s|_wfopen_s|freopen|fdopen|_open|_wopen|_sopen_s|_wsopen_s|creat)[[:space:]]*\(|(^|[^A-Za-z0-9_.>])(::)?open(at2?)?[[:space:]]*(\(|$)|CreateFile(2|[AW])?[[:space:]]*\(|(MoveFile|CopyFile|ReplaceFile)(Ex|WithProgress)?[AW]?[[:space:]]*\(|(^|[^A-Za-z0-9_])(::)?rename(at2?)?[[:space:]]*\('

status=0
while IFS= read -r file; do
  [[ -f $file ]] || continue
  [[ $file =~ $door || $file =~ $exempt ]] && continue
  if hits=$(sed 's|//.*$||' "$file" | grep -nE "$pattern"); then
    while IFS= read -r hit; do echo "$file:$hit"; done <<<"$hits"
    status=1
  fi
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp')

writers='(^|[^A-Za-z0-9_])(TSafeOutputFile|WriteFileSafely|WriteFileDurably|WriteNewFileUniquely|AppendToFile|TAppendingFile|CreateNewFile|MoveFileReplacing|RenameWithoutReplacing|TExclusiveLockFile)([^A-Za-z0-9_]|$)'
listed=$(grep -v '^#' scripts/outputs.tsv | cut -f4 | tr ',' '\n' | sort -u)
while IFS= read -r file; do
  [[ -f $file ]] || continue
  [[ $file =~ $door || $file =~ $exempt ]] && continue
  sed 's|//.*$||' "$file" | grep -qE "$writers" || continue
  if ! grep -qxF "$file" <<<"$listed"; then
    echo "$file: writes a file but is not in scripts/outputs.tsv (name the output, its rule and a command)"
    status=1
  fi
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp')
# Each source file the list names must exist, so that the list stays true.
while IFS= read -r file; do
  [[ -z $file || -f $file ]] && continue
  echo "scripts/outputs.tsv names $file, which does not exist"
  status=1
done <<<"$listed"

if ((status == 0)); then
  echo "file door: every file is opened through base/, every output is in scripts/outputs.tsv"
else
  echo "file door: open these through base/safe_output_file.h or base/input_file.h" >&2
fi
exit "$status"
