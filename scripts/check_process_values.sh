#!/usr/bin/env bash
# Counts the mutable values at namespace scope (and static class members) in
# the module's production code, as the compiler laid them out: the objects of
# the static libraries of base, transport, model, protocol, journal and app
# and the program's own main object, read with objdump, so that no way of
# writing a declaration hides one. Prints each value found and fails when
# there are more than the limit.
#
#   scripts/check_process_values.sh [--limit N] [--allowed FILE] [BUILD_DIR | OBJECT...]
#
# BUILD_DIR (default: build, in the working folder) is a built Linux build
# folder; OBJECTs (.a or .o
# files) are read instead when given. The allowed list (default:
# scripts/process_values.allowed) names each value that must be
# process-wide and why; the limit is the number of its values unless given.
#
# A value is a data object in a writable section (.data*, .bss*, .tdata,
# .tbss, common). Not values:
#   - read-only data (.rodata*, .data.rel.ro*): constants, vtables, typeinfo;
#   - function-local statics ("f(...)::name"), their guard variables and
#     those of inline variables;
#   - what the compiler adds for its own use: DW.ref.* (the exception
#     personality's address), the temporaries a namespace-scope reference is
#     bound to (_ZGR*, counted as the reference itself), std::__ioinit (the
#     stream initialiser <iostream> puts into each file that includes it);
#   - the constants the allowed list names as such: const objects that hold
#     a std::string or std::vector are built at start-up, so they lie in
#     writable memory although nothing may change them.
set -euo pipefail

limit=
allowed=$(dirname "$0")/process_values.allowed
while (($#)); do
  case $1 in
    --limit) limit=$2; shift 2 ;;
    --allowed) allowed=$2; shift 2 ;;
    *) break ;;
  esac
done

objects=()
if (($# == 0)) || [[ -d $1 ]]; then
  dir=${1:-build}
  for layer in base transport model protocol journal app; do
    library=$dir/$layer/libmerv_$layer.a
    [[ -f $library ]] || { echo "no $library: build the module first" >&2; exit 2; }
    objects+=("$library")
  done
  while IFS= read -r main; do objects+=("$main"); done < <(find "$dir/app/CMakeFiles/mervmodul.dir" -name '*.o' 2>/dev/null)
else
  objects=("$@")
fi

# "kind name why": kind is "value" (counted) or "constant" (not counted).
declare -A kind_of why_of
values_allowed=0
while read -r kind name why; do
  [[ -z $kind || $kind == \#* ]] && continue
  kind_of[$name]=$kind
  why_of[$name]=$why
  [[ $kind == value ]] && values_allowed=$((values_allowed + 1))
done <"$allowed"
limit=${limit:-$values_allowed}

# One line per value in a writable section: "name<TAB>where", the name
# demangled and shortened ("anonymous::" for the anonymous namespace, no
# "[abi:cxx11]"). A file-local symbol is one value per file, as two files may
# each have one of the same name; any other is one value however many files
# define it (an inline variable is defined in every file that uses it).
writable_symbols() {
  local object
  for object in "$@"; do
    objdump -t -C "$object" | awk -v file="${object##*/}" '
      /: +file format / { member = $1; sub(/:$/, "", member); next }
      index($0, "\t") == 0 { next }
      {
        split($0, halves, "\t")
        head = halves[1]
        section = head; sub(/.* /, "", section)
        flags = substr(head, 18, 7)
        if (flags ~ /d/) next                                 # a section symbol
        tls = section ~ /^\.t(data|bss)/
        if (!(flags ~ /O/ || tls)) next
        if (!(section ~ /^\.(data|bss)/ || tls || section == "*COM*")) next
        if (section ~ /^\.data\.rel\.ro/) next
        name = halves[2]; sub(/^[0-9a-f]+ +/, "", name); sub(/^\.hidden /, "", name)
        gsub(/\(anonymous namespace\)/, "anonymous", name)
        gsub(/\[abi:cxx11\]/, "", name)
        if (name ~ /^guard variable for / || name == "__tls_guard") next
        if (name ~ /^DW\.ref\./ || name ~ /^_ZGR/ || name == "std::__ioinit") next
        if (name ~ /\)::/) next                                # a function-local static
        if (name ~ /^(vtable|typeinfo|typeinfo name|VTT|construction vtable) for /) next
        where = file
        if (flags ~ /^l/ && member != file) where = file "(" member ")"
        print name "\t" where "\t" (flags ~ /^l/ ? where : "")
      }'
  done | sort -t$'\t' -k1,1 -k3,3 -u | cut -f1,2
}

counted=0
while IFS=$'\t' read -r name where; do
  case ${kind_of[$name]:-} in
    value)
      counted=$((counted + 1))
      echo "value      $name ($where): ${why_of[$name]}" ;;
    constant)
      echo "constant   $name ($where): ${why_of[$name]}" ;;
    *)
      counted=$((counted + 1))
      echo "NOT LISTED $name ($where): a mutable value at namespace scope; pass it down in a context instead" ;;
  esac
done < <(writable_symbols "${objects[@]}")

echo "$counted mutable values at namespace scope (at most $limit)"
((counted <= limit))
