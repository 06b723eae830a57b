#!/usr/bin/env bash
# The speed of a study against single runs: N no-draw WLTC runs (default
# 200) one after the other in a shell loop, the same N as single processes
# two at a time (xargs -P2, each in its own copy of the folder, as a study
# runs them), then the same N as one study with --jobs 2 (the masses differ
# so that the runs are N different ones).
# Usage: tools/study-speed.sh [BUILD_DIR]. A benchmark: it prints wall
# times and their ratio, and checks nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
B=${1:-build}/batch/tralvik-batch
N=${N:-200}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r data "$tmp/data"
rm -f "$tmp"/data/Resultat*.txt "$tmp"/data/ERROR.TAB
# The folder as the study's --set values make it, for the single runs.
"$B" --quiet --no-draw --ticks 0 --set Cykeltyp=T --set 'Ttidd=cykler\WLTC3B.CYK' \
  --keep "$tmp/kept" "$tmp/data" > /dev/null
single=$tmp/kept/data
rm -f "$single"/Resultat*.txt
masses=$(seq -s, 1001 $((1000 + N)))
export B N single
# Wall and CPU (user + system) seconds of each way.
/usr/bin/time -f "%e %U %S" -o "$tmp/loop.time" bash -c '
  for m in $(seq 1001 $((1000 + N))); do
    sed -i "18s/.*/$m\r/" "$single/CONS.VAL"
    "$B" --no-draw --quiet "$single" > /dev/null
  done'
# Two at a time: each run copies the folder, sets its mass and runs.
/usr/bin/time -f "%e %U %S" -o "$tmp/xargs.time" bash -c '
  seq 1001 $((1000 + N)) | xargs -P2 -I{} bash -c "
    d=\$(mktemp -d) && cp -r \"$single\" \"\$d/r\" && sed -i \"18s/.*/{}\r/\" \"\$d/r/CONS.VAL\" &&
    \"$B\" --no-draw --quiet \"\$d/r\" > /dev/null; rm -rf \"\$d\""'
/usr/bin/time -f "%e %U %S" -o "$tmp/study.time" "$B" --no-draw --quiet --set Cykeltyp=T \
  --set 'Ttidd=cykler\WLTC3B.CYK' --sweep "Massa=$masses" --max-runs "$N" --jobs 2 "$tmp/data" > /dev/null
read -r lw lu ls < "$tmp/loop.time"
read -r sw su ss < "$tmp/study.time"
read -r xw xu xs < "$tmp/xargs.time"
awk -v lw="$lw" -v lu="$lu" -v ls="$ls" -v sw="$sw" -v su="$su" -v ss="$ss" -v n="$N" \
    -v xw="$xw" -v xu="$xu" -v xs="$xs" \
    -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "%d single runs in a loop: %.1f s wall, %.1f s CPU\n", n, lw, lu + ls
  printf "single runs, xargs -P2:   %.1f s wall, %.1f s CPU\n", xw, xu + xs
  printf "one study, --jobs 2:      %.1f s wall (%.0f %% of the loop, %.0f %% of xargs -P2), %.1f s CPU (%.0f %%)\n",
         sw, 100 * sw / lw, 100 * sw / xw, su + ss, 100 * (su + ss) / (lu + ls)
  printf "load average at the end: %s\n", load }'
