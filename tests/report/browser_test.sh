#!/usr/bin/env bash
# Opens report pages of tralvik-batch in headless Chromium: every chart the
# page should have is there and has drawn paths of some size, and a
# screenshot of each page is kept next to this test's output.
# Usage: browser_test.sh BATCH_EXE RESULTREPORT_EXE SOURCE_DIR OUT_DIR
set -euo pipefail
BATCH=$1 TOOL=$2 SRC=$3 OUT=$4
CHROMIUM=$(command -v chromium || true)
if [ -z "$CHROMIUM" ]; then echo "chromium is not installed (setup.sh installs it)"; exit 77; fi
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$SRC/data" "$WORK/data"
# A time cycle with phases, both result files on.
python3 - "$WORK/data/CONS.VAL" <<'PY'
import sys
p = sys.argv[1]
lines = open(p, 'rb').read().split(b'\r\n')
lines[0] = b'cykler\\FTP75.CYK'
lines[36] = b'T'
open(p, 'wb').write(b'\r\n'.join(lines))
PY

browse() { # PAGE [more flags]: headless Chromium on a file, with a fresh profile
  local page=$1; shift
  "$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d -p "$WORK")" "$@" "file://$page" 2>/dev/null
}

# check PAGE CHARTS NAME [COLOURS]: the page has CHARTS charts, each with
# drawn paths, and in each chart paths are drawn in every colour of COLOURS
# ("r, g, b;r, g, b": the runs of a comparison).
check() {
  local page=$1 charts=$2 name=$3 colours=${4:-}
  # A copy of the page with a script that measures the charts as laid out.
  sed 's|</body>|<script>\
const out = [];\
const svgs = document.querySelectorAll("svg.chart");\
out.push("charts " + svgs.length);\
for (const svg of svgs) {\
  let drawn = 0;\
  const colours = new Set();\
  for (const p of svg.querySelectorAll("path")) {\
    const b = p.getBBox();\
    if (!p.getAttribute("d") \|\| (b.width == 0 \&\& b.height == 0)) continue;\
    drawn++;\
    const st = getComputedStyle(p);\
    for (const c of [st.fill, st.stroke]) if (c.startsWith("rgb(")) colours.add(c.slice(4, -1));\
  }\
  const r = svg.getBoundingClientRect();\
  out.push("chart " + JSON.stringify(svg.dataset.title) + " paths " + drawn + " size " + Math.round(r.width) + "x" + Math.round(r.height) + " colours " + [...colours].join(";"));\
}\
const pre = document.createElement("pre"); pre.id = "verdict"; pre.textContent = out.join("\\n");\
document.body.appendChild(pre);\
</script></body>|' "$page" > "$WORK/check.html"
  browse "$WORK/check.html" --dump-dom --virtual-time-budget=2000 > "$WORK/dom.html"
  local verdict
  verdict=$(sed -n '/<pre id="verdict">/,/<\/pre>/p' "$WORK/dom.html" | sed 's/<[^>]*>//g')
  echo "$name:"; echo "$verdict"
  local n
  n=$(echo "$verdict" | sed -n 's/^charts \([0-9]*\)$/\1/p')
  if [ "$n" != "$charts" ]; then echo "FAIL: $name has ${n:-no} charts, expected $charts"; return 1; fi
  if echo "$verdict" | grep -q ' paths 0 '; then echo "FAIL: a chart of $name has no drawn path"; return 1; fi
  if echo "$verdict" | grep -q ' size 0x\| size [0-9]*x0 '; then echo "FAIL: a chart of $name has no size"; return 1; fi
  local colour
  while IFS= read -r colour; do
    [ -n "$colour" ] || continue
    if echo "$verdict" | grep '^chart ' | grep -vq "colours.*$colour"; then
      echo "FAIL: a chart of $name draws nothing in rgb($colour)"; return 1
    fi
  done <<< "${colours//;/$'\n'}"
  browse "$page" --screenshot="$OUT/$name.png" --window-size=900,2300 --hide-scrollbars
  [ -s "$OUT/$name.png" ] || { echo "FAIL: no screenshot of $name"; return 1; }
  echo "screenshot: $OUT/$name.png"
}

"$BATCH" --no-draw --quiet --spara 1100 --report "$WORK/run.html" "$WORK/data" > /dev/null
"$BATCH" --no-draw --quiet --ticks 3000 --jobs 2 --sweep Massa=1100,1300,1500 \
  --report "$WORK/study.html" "$WORK/data" > /dev/null
"$TOOL" -o "$WORK/fromfiles.html" "$WORK/data" 2>/dev/null
# A recorded drive of 30 s on the bundled map (START, throttle, a gear up,
# brake, throttle again), compared with the built-in driver. The first tick
# reads the clock twice: for the panel's set-up and for its step.
cp -r "$SRC/data" "$WORK/road"
python3 - "$WORK/drive.rec" <<'PY'
import sys
keys = {5: '8', 6: '8', 7: '8', 8: '8', 200: 'G', 201: '8', 202: '8', 400: '0', 420: '5',
        560: '0', 580: '8', 581: '8'}
clock = lambda ms: "%02d:%02d:%02d.%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)
out = ["tralvik-recording 1", "1 start", "1 clock " + clock(36000000)]
for t in range(1, 751):
    out += ["%d key %s" % (t, keys[t])] if t in keys else []
    out += ["%d tick" % t] + ["%d clock %s" % (t, clock(36000000 + 40 * k))
                              for k in ([1, 2] if t == 1 else [t + 1])]
open(sys.argv[1], "w").write("\n".join(out) + "\n")
PY
"$BATCH" --compare "$WORK/drive.rec" "$WORK/road" --report "$WORK/compare.html" > /dev/null
"$BATCH" --replay "$WORK/drive.rec" "$WORK/road" --report "$WORK/replay.html" > /dev/null 2>&1
# A run: speed, operating points, fuel, CO2, emissions per phase, the energy
# balance (not from result files, which cannot give it). A study:
# fuel, CO2, CO, NOx, HC and trace RMS against the mass.
failed=0
check "$WORK/run.html" 6 report-run || failed=1
check "$WORK/fromfiles.html" 5 report-from-files || failed=1
check "$WORK/study.html" 6 report-study || failed=1
# A comparison: the speed traces and the operating points, each with both
# runs (the drive red, the built-in driver dark blue), and the table.
check "$WORK/compare.html" 2 report-compare "214, 39, 40;40, 40, 140" || failed=1
grep -q '<table class="compare">' "$WORK/compare.html" || { echo "FAIL: no comparison table"; failed=1; }
check "$WORK/replay.html" 6 report-replay || failed=1
if [ $failed = 0 ]; then echo "5 passed, 0 failed"; else echo "FAILED"; fi
exit $failed
