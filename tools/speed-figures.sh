#!/usr/bin/env bash
# Measures the figures of the README's performance table on this machine:
# whole-process timings of tralvik-batch on WLTC class 3b (45 003 ticks) with
# and without result files and drawing, the window's start to visible, and
# the memory of a long headless run. Medians of N runs (default 5).
# Usage: tools/speed-figures.sh [BUILD_DIR] [N]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build}")
N=${2:-5}
BATCH=$BUILD/batch/tralvik-batch
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A folder that drives WLTC class 3b as a time cycle (line 37: cycle type T).
cp -r data "$WORK/wltc"
awk 'BEGIN{ORS="\r\n"} {sub(/\r$/,"")} NR==37{$0="T"} {print}' data/CONS.VAL > "$WORK/wltc/CONS.VAL"

median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
wall() { # seconds of one whole run of "$@"
  local t0 t1
  t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.4f\n", (b - a) / 1e9}'
}
timed() { # label, ticks, command...
  local label=$1 ticks=$2; shift 2
  local m
  m=$(for _ in $(seq "$N"); do wall "$@"; done | median)
  awk -v l="$label" -v m="$m" -v n="$ticks" \
    'BEGIN{printf "| %s | %.3f s | %.0f per second | %.2f µs |\n", l, m, n / m, 1e6 * m / n}'
}

ticks=$("$BATCH" --no-draw --quiet --spara 0000 "$WORK/wltc" | awk '/^ticks/{print $2}')
echo "| run (WLTC, $ticks ticks) | median wall | steps | per step |"
echo "|---|---|---|---|"
timed "--no-draw --spara 0000" "$ticks" "$BATCH" --no-draw --quiet --spara 0000 "$WORK/wltc"
timed "--no-draw --spara 1100" "$ticks" "$BATCH" --no-draw --quiet --spara 1100 "$WORK/wltc"
timed "drawing, --spara 0000" "$ticks" "$BATCH" --quiet --spara 0000 "$WORK/wltc"

# Memory: a steady drive until the tank is empty (close to a million ticks).
cp -r data "$WORK/long"
printf '0 25 0 120 0.04 0\r\n60000 25 0 120 0.04 0\r\n60010 25 0 100 0.04 0\r\n' > "$WORK/long/LONG.CYK"
awk 'BEGIN{ORS="\r\n"} {sub(/\r$/,"")} NR==1{$0="LONG.CYK"} NR==37{$0="T"} NR==51{$0="25"}
     NR==35{$0="100000"} NR==36{$0="1000000000"} {print}' data/CONS.VAL > "$WORK/long/CONS.VAL"
/usr/bin/time -f "%M" -o "$WORK/rss" "$BATCH" --no-draw --quiet --spara 0000 "$WORK/long" > "$WORK/long.out" 2> "$WORK/long.err"
echo
echo "long headless run: $(awk '/^ticks/{print $2}' "$WORK/long.out") ticks, largest resident size $(cat "$WORK/rss") KB"

# The window: from the start of the program until it is visible (Xvfb).
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null && [ -x "$BUILD/app/tralvik" ]; then
  # -noreset: the server must outlive each started and ended window.
  ms=$(xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
    cd "$1/data"; for _ in $(seq "$3"); do
      t0=$(date +%s%N); "$2" >/dev/null 2>&1 & pid=$!
      for _ in $(seq 5000); do   # at most about 10 s
        xdotool search --onlyvisible --name Tralvik >/dev/null 2>&1 && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.002
      done
      t1=$(date +%s%N)
      if kill $pid 2>/dev/null; then echo $(( (t1 - t0) / 1000000 )); fi
      wait $pid 2>/dev/null || true
    done' _ "$PWD" "$BUILD/app/tralvik" "$N" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
  echo "window visible after: $ms ms (median of $N)"
fi
