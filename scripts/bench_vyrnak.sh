#!/usr/bin/env bash
# Print viewer benchmark: a journal document of 100,000 lines (9 pt, the
# largest print, so the most pages) turned into a PDF by vyrnak. Prints the
# page count and the median wall and processor times of five runs.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -x build/vyrnak ]] || { scripts/setup.sh; scripts/build.sh build; }
lines=${1:-100000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The document as the module writes it: code page 1250 (octal escapes below
# are "č", "ř", "ž", "í", "ů", "á", "é", "ě"), CR LF line ends.
awk -v lines="$lines" 'BEGIN {
  printf "TSKS1F[Courier New,9][Elektronick\375 \236urn\341l]\r\n"
  printf "[TB0W100[CCW100]PF-01[[MERV Modul Fisk\341ln\355][#PP/#PT][#DT #TM]]\r\n"
  printf "[[~+04B~Elektronick\375 \236urn\341l]]\r\n[[]]\r\n[[[TB0W100[LCWMAX000]D[FTFBW050]\r\n"
  printf "[[~+04B~Povinn\375 subjekt (DI\310, DKP):]]\r\n]]]\r\n[[]]\r\n[[]]\r\n[[]]\r\n"
  printf "[[[TB0W100[LCW100]D[FTFBW050]\r\n"
  for (i = 1; i <= lines; i++) {
    if (i % 4 == 1) printf "[[\310\355slo \372\350tenky %06d      09.12.2026 08:%02d]]\r\n", i, i % 60
    else if (i % 4 == 0) printf "[[CELKEM K\350                       %5d,00]]\r\n", i % 1000
    else printf "[[\236lu\235ou\350k\375 k\371\362 \372p\354l  2 x 12,50     25,00 A]]\r\n"
  }
  printf "[[]]\r\n]]]\r\n]\r\n"
}' >"$work/tisk.tmp"

# Wall time, and the processor time (user + system) that the run itself used:
# on a shared, loaded machine the wall time also counts waiting for a core.
TIMEFORMAT='%R %U %S'
walls=()
cpus=()
for _ in 1 2 3 4 5; do
  measured=$( { time DISPLAY='' WAYLAND_DISPLAY='' XDG_CONFIG_HOME=$work build/vyrnak FILE "$work/tisk.tmp" 2>/dev/null; } 2>&1 )
  read -r wall user system <<<"$measured"
  walls+=("$wall")
  cpus+=("$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.3f", u + s }')")
done
median() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
pages=$(pdfinfo "$work/tisk.pdf" | awk '/^Pages:/ { print $2 }')
size=$(du -k "$work/tisk.pdf" | cut -f1)
echo "vyrnak: $lines journal lines, $pages pages, ${size} kB PDF"
echo "  wall time: median $(median "${walls[@]}") s (runs: ${walls[*]})"
echo "  processor time: median $(median "${cpus[@]}") s (runs: ${cpus[*]})"
