#!/usr/bin/env bash
# The check of the process values (scripts/check_process_values.sh) on small
# objects compiled here: it counts the mutable values at namespace scope and
# the static members however they are written, leaves out what is no value
# (constants, function-local statics, guard variables), counts an inline
# variable once, and fails once a new global takes the count past the limit.
#
# Usage: check_process_values_test.sh SOURCE_DIR CXX
set -euo pipefail
source_dir=$(cd "$1" && pwd)
cxx=$2
check=$source_dir/scripts/check_process_values.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >values.h <<'EOF'
#include <string>
inline std::string SharedName;
EOF
cat >old.cpp <<'EOF'
#include "values.h"
#include <string>
int Allowed = 1;
extern const std::string Label;
const std::string Label = "built at start-up";
const int Fixed = 3;
constexpr int Table[] = {1, 2};
namespace {
int hidden = 4;
}
thread_local int perThread;
struct TKeeper {
  static int Member;
};
int TKeeper::Member = 0;
int Touch(int by) {
  static int calls = 0;
  static std::string name("n");
  hidden += by;
  return ++calls + hidden + Table[by & 1] + perThread + Fixed + static_cast<int>(name.size() + SharedName.size() + Label.size());
}
EOF
cat >new.cpp <<'EOF'
#include "values.h"
int NewValue;
int Use() { return NewValue + static_cast<int>(SharedName.size()); }
EOF
"$cxx" -std=c++20 -O2 -c old.cpp -o old.o
"$cxx" -std=c++20 -O2 -c new.cpp -o new.o
printf '%s\n' '# one value and one constant' 'value Allowed the one allowed value of this test' \
  'constant Label a const std::string, built at start-up' >allowed

fail() {
  echo "FAIL: $*"
  echo "$output"
  exit 1
}

# Before: Allowed, the anonymous hidden, perThread, TKeeper::Member and the
# inline SharedName; the constant Label is named but not counted; not Fixed,
# Table, calls, name or any guard variable.
output=$("$check" --allowed allowed --limit 5 old.o) || fail "5 values within a limit of 5 failed"
for value in "value      Allowed" "NOT LISTED anonymous::hidden" "NOT LISTED perThread" \
  "NOT LISTED TKeeper::Member" "NOT LISTED SharedName"; do
  grep -qF "$value (" <<<"$output" || fail "not listed: $value"
done
grep -qF "constant   Label (" <<<"$output" || fail "the constant is not named as one"
for other in Fixed Table calls name guard; do
  if grep -qE "(^| |::)$other( |\()" <<<"$output"; then fail "listed, but no value: $other"; fi
done
grep -qF "5 mutable values at namespace scope (at most 5)" <<<"$output" || fail "count"

# A new global, its inline variable counted once: one more than the limit.
if output=$("$check" --allowed allowed --limit 5 old.o new.o); then fail "a new global passed"; fi
grep -qF "NOT LISTED NewValue (" <<<"$output" || fail "the new global is not named"
grep -qF "6 mutable values at namespace scope (at most 5)" <<<"$output" || fail "count with the new global"
[[ $(grep -c "SharedName" <<<"$output") == 1 ]] || fail "the inline variable counted more than once"

# Without a limit, the allowed list's number of values is the limit.
if output=$("$check" --allowed allowed old.o); then fail "5 values within the list's 1 passed"; fi
grep -qF "(at most 1)" <<<"$output" || fail "the list's count is not the limit"
echo "check_process_values: all cases passed"
