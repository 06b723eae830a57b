#!/usr/bin/env bash
# Takes the screenshots of docs/: the start screen and a run on the default
# car, and a run of the electric car (ELBIL.VAL as the constants, in a copy
# of data/), from the real window under Xvfb (needs xvfb, xdotool, imagemagick).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top/data"
export TRALVIK_BIN="$top/build/app/tralvik" OUT="$top/docs"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$TRALVIK_BIN" 2>/dev/null & pid=$!
  sleep 3
  xdotool mousemove 300 300 click 1          # closes the preface panel
  sleep 0.5
  import -window root /tmp/tralvik-start.png
  xdotool mousemove 896 614 click 1          # START (window at 176,97; menu bar 21 px)
  sleep 0.3
  xdotool mousemove 576 260                  # pointer out of the way
  sleep 20
  import -window root /tmp/tralvik-run.png
  kill $pid'
convert /tmp/tralvik-start.png -crop 800x621+176+97 +repage "$OUT/start.png"
convert /tmp/tralvik-run.png -crop 800x621+176+97 +repage "$OUT/run.png"
el=$(mktemp -d /tmp/tralvik-elbil-XXXXXX)
trap 'rm -rf "$el"' EXIT
cp -r "$top/data/." "$el"
cp "$el/ELBIL.VAL" "$el/CONS.VAL"
cd "$el"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$TRALVIK_BIN" 2>/dev/null & pid=$!
  sleep 3
  xdotool mousemove 300 300 click 1
  sleep 0.5
  xdotool mousemove 896 614 click 1
  sleep 0.3
  xdotool mousemove 576 260
  sleep 20
  import -window root /tmp/tralvik-elbil.png
  kill $pid'
convert /tmp/tralvik-elbil.png -crop 800x621+176+97 +repage "$OUT/elbil.png"
echo "wrote $OUT/start.png, $OUT/run.png and $OUT/elbil.png"
