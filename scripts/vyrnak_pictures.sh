#!/usr/bin/env bash
# Makes the pictures of docs/vyrnak/ from the sample print documents there:
# the first page of each PDF as a grey PNG at 100 dpi.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -x build/vyrnak ]] || { scripts/setup.sh; scripts/build.sh build; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in journal receipts; do
  DISPLAY='' WAYLAND_DISPLAY='' XDG_CONFIG_HOME=$work \
    build/vyrnak FILE "$PWD/docs/vyrnak/$name.tmp" "/PDF=$work/$name.pdf" 2>/dev/null
  pdftoppm -png -gray -r 100 -f 1 -l 1 -singlefile "$work/$name.pdf" "docs/vyrnak/$name-page"
done
