#!/usr/bin/env bash
# Lists every include that breaks the one-way layering of the folders and
# every include cycle between units (a unit is a header with its sources);
# exits non-zero when there is any.
#
#   base <- transport, model <- protocol (model + transport), journal (model)
#        <- app <- tools, bench, tests
set -euo pipefail
cd "$(dirname "$0")/.."

# Each layer followed by the folders it may include, itself among them.
rules='
base      base
transport base transport
model     base model
protocol  base transport model protocol
journal   base model journal
app       base transport model protocol journal app
tools     base transport model protocol journal app tools
bench     base transport model protocol journal app bench
tests     base transport model protocol journal app tools tests
'
layers=$(echo "$rules" | awk 'NF { printf "%s ", $1 }')

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

# shellcheck disable=SC2086
# shellcheck disable=SC2016 # the awk program's own fields
git ls-files --cached --others --exclude-standard -- $layers | grep -E '\.(h|cpp)$' |
  while IFS= read -r file; do [[ -f $file ]] && echo "$file"; done | xargs awk -v rules="$rules" -v edges="$edges" '
  function unit(path) { sub(/\.[a-z]+$/, "", path); sub(/_(posix|win32)$/, "", path); return path }
  BEGIN {
    n = split(rules, lines, "\n")
    for (i = 1; i <= n; i++) {
      if (split(lines[i], word, " ") == 0) continue
      layer[word[1]] = 1
      for (j = 2; word[j] != ""; j++) may[word[1], word[j]] = 1
    }
  }
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    target = $0
    sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
    folder = target; if (!sub(/\/.*$/, "", folder) || !(folder in layer)) next
    from = FILENAME; sub(/\/.*$/, "", from)
    if (!((from, folder) in may)) {
      printf "%s: includes %s (%s may not include %s)\n", FILENAME, target, from, folder
      bad = 1
    }
    if (unit(FILENAME) != unit(target)) print unit(FILENAME), unit(target) > edges
  }
  END { exit bad }
' && status=0 || status=1

if ! cycles=$(tsort "$edges" 2>&1 >/dev/null); then
  echo "include cycle between units:"
  # shellcheck disable=SC2001 # two substitutions, one of them anchored
  echo "$cycles" | sed "s|^tsort: $edges: input contains a loop:|  loop:|; s/^tsort: /    /"
  status=1
fi

if ((status == 0)); then echo "layers: every include follows the one-way rule"; fi
exit "$status"
