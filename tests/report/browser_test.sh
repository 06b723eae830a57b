#!/usr/bin/env bash
# Opens the report pages of every kind (a run, the same run from its result
# files, a study, a comparison, a replay) in headless Chromium and looks at
# them as a reader does (pagecheck.sh: the charts are there, no legend
# covers data or another legend, no text leaves its chart, every axis has a
# unit, no page is wider than 1280 px); a screenshot of each page is kept
# next to this test's output.
# Usage: browser_test.sh BATCH_EXE RESULTREPORT_EXE SOURCE_DIR OUT_DIR
set -euo pipefail
BATCH=$1 TOOL=$2 SRC=$3 OUT=$4
CHROMIUM=$(command -v chromium || true)
if [ -z "$CHROMIUM" ]; then echo "chromium is not installed (setup.sh installs it)"; exit 77; fi
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$SRC/data" "$WORK/data"
# Sets lines of a constants file, NUMBER=VALUE (from 1), its CR LF kept.
set_lines() {
python3 - "$@" <<'PY'
import sys
p = sys.argv[1]
lines = open(p, 'rb').read().split(b'\r\n')
for a in sys.argv[2:]:
    n, v = a.split('=', 1)
    lines[int(n) - 1] = v.encode()
open(p, 'wb').write(b'\r\n'.join(lines))
PY
}
# A time cycle with phases, both result files on.
set_lines "$WORK/data/CONS.VAL" '1=cykler\FTP75.CYK' 37=T

. "$SRC/tests/report/pagecheck.sh"

"$BATCH" --no-draw --quiet --spara 1100 --report "$WORK/run.html" --charts "$WORK/charts-run" \
  "$WORK/data" > /dev/null
"$BATCH" --no-draw --quiet --ticks 3000 --jobs 2 --sweep Massa=1100,1300,1500 \
  --report "$WORK/study.html" --charts "$WORK/charts-study" "$WORK/data" > /dev/null
# The tool prints nothing on success: no toolkit notes either.
env -u XDG_RUNTIME_DIR "$TOOL" -o "$WORK/fromfiles.html" --charts "$WORK/charts-fromfiles" \
  "$WORK/data" > "$WORK/tool.out" 2>&1
if [ -s "$WORK/tool.out" ]; then echo "FAIL: resultreport printed:"; cat "$WORK/tool.out"; exit 1; fi
# A recorded drive of 30 s on the bundled map, compared with the built-in
# driver.
cp -r "$SRC/data" "$WORK/road"
write_drive "$WORK/drive.rec"
"$BATCH" --compare "$WORK/drive.rec" "$WORK/road" --report "$WORK/compare.html" \
  --charts "$WORK/charts-compare" > /dev/null
"$BATCH" --replay "$WORK/drive.rec" "$WORK/road" --report "$WORK/replay.html" > /dev/null 2>&1
# A fleet study: each car beside the list's figures (a scatter with the
# ±10 % band, a table by class), bars car by car, named under them.
"$BATCH" --no-draw --quiet --cars "$SRC/tools/cars/fleet-example.csv" --set Cykeltyp=T \
  --sweep 'Ttidd=cykler\FTP75.CYK,cykler\HWFET.CYK' --report "$WORK/fleet.html" "$WORK/data" > /dev/null
# A fleet of 135 cars (the example list's cars, each under many names), short
# runs on both cycles (270): its page prints on at most 6 A4 sheets.
python3 - "$SRC/tools/cars/fleet-example.csv" "$WORK/fleet135.csv" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline='')))
head, cars = rows[0], rows[1:]
models = {r[2] for r in cars}
out = csv.writer(open(sys.argv[2], 'w', newline=''))
out.writerow(head)
for k in range(-(-135 // len(models))):
    for r in cars:
        if k * len(models) + sorted(models).index(r[2]) < 135:
            out.writerow(r[:2] + [r[2] + ' ' + str(k + 1)] + r[3:])
PY
"$BATCH" --no-draw --quiet --ticks 60 --jobs 2 --cars "$WORK/fleet135.csv" --set Cykeltyp=T \
  --sweep 'Ttidd=cykler\FTP75.CYK,cykler\HWFET.CYK' --report "$WORK/fleet135.html" "$WORK/data" > /dev/null 2>&1
# A sampling study: numbered dots, the table with each run's sampled values.
"$BATCH" --no-draw --quiet --ticks 1500 --vary Massa=1100:1500 --vary Phjalp=400:2400 --samples 12 \
  --report "$WORK/sampling.html" "$WORK/data" > /dev/null
# An elasticity study: a bar chart per output, the largest first, and the
# runs each elasticity comes from.
"$BATCH" --no-draw --quiet --ticks 3000 --vary Massa=1100:1500 --vary Phjalp=400:2400 --elasticity \
  --report "$WORK/elasticity.html" "$WORK/data" > /dev/null
# The reference car with a catalyst from a cold start at 23 C: the FTP-75's
# run page, and the recorded drive compared on the map.
cp -r "$SRC/data" "$WORK/kat"
{ cat "$SRC/tools/cars/mellanbil.txt"; echo "catalyst yes"; } > "$WORK/kat.txt"
"$(dirname "$TOOL")/carmaker" "$WORK/kat.txt" "$WORK/kat/Mellanbil" > /dev/null
set_lines "$WORK/kat/CONS.VAL" 19=1 26=23
"$BATCH" --compare "$WORK/drive.rec" "$WORK/kat" --report "$WORK/katcompare.html" > /dev/null
"$BATCH" --no-draw --quiet --set Cykeltyp=T --set 'Ttidd=cykler\FTP75.CYK' --report "$WORK/kat.html" \
  "$WORK/kat" > /dev/null
# The electric car: a run page (the motor's operating points, the battery's
# charge and power over time, the battery's energy balance, no fuel) and the
# recorded drive compared on it (both drivers' charge).
cp -r "$SRC/data" "$WORK/el"
cp "$WORK/el/ELBIL.VAL" "$WORK/el/CONS.VAL"
cp -r "$WORK/el" "$WORK/elroad"
set_lines "$WORK/el/CONS.VAL" '1=cykler\FTP75.CYK' 37=T
"$BATCH" --no-draw --quiet --report "$WORK/elrun.html" "$WORK/el" > /dev/null
"$BATCH" --compare "$WORK/drive.rec" "$WORK/elroad" --report "$WORK/elcompare.html" > /dev/null 2>&1
# A run: speed, operating points, fuel, CO2, emissions and fuel per phase,
# the energy balance (not from result files, which cannot give it). A study:
# fuel, CO2, CO, NOx, HC and trace RMS against the mass.
failed=0
check_page "$WORK/run.html" 7 "$OUT/report-run.png" || failed=1
check_page "$WORK/fromfiles.html" 6 "$OUT/report-from-files.png" || failed=1
check_page "$WORK/study.html" 6 "$OUT/report-study.png" || failed=1
# A comparison: the speed traces and the operating points, each with both
# runs (the drive red, the built-in driver dark blue), and the table.
check_page "$WORK/compare.html" 2 "$OUT/report-compare.png" "214, 39, 40;40, 40, 140" || failed=1
grep -q '<table class="compare">' "$WORK/compare.html" || { echo "FAIL: no comparison table"; failed=1; }
check_page "$WORK/replay.html" 7 "$OUT/report-replay.png" || failed=1
check_page "$WORK/fleet.html" 7 "$OUT/report-fleet.png" || failed=1
check_page "$WORK/elasticity.html" 2 "$OUT/report-elasticity.png" || failed=1
check_page "$WORK/sampling.html" 12 "$OUT/report-sampling.png" || failed=1
# On a narrow screen (800 px): nothing wider than the window, no text out of
# its chart (the study, fleet, elasticity and sampling pages).
for kind in study fleet elasticity sampling; do
  n=$(grep -c '<svg ' "$WORK/$kind.html")
  PAGE_WIDTH=800 check_page "$WORK/$kind.html" "$n" "$OUT/report-$kind-800.png" || failed=1
done
"$CHROMIUM" --headless --no-sandbox --disable-gpu --no-first-run --no-pdf-header-footer \
  --user-data-dir="$WORK/chromium-print" --print-to-pdf="$WORK/fleet135.pdf" "file://$WORK/fleet135.html" 2> /dev/null
sheets=$(python3 -c 'import re,sys; print(len(re.findall(rb"/Type\s*/Page[^s]", open(sys.argv[1],"rb").read())))' \
  "$WORK/fleet135.pdf")
if [ "$(grep -c '<tr>' "$WORK/fleet135.html")" -lt 135 ] || [ "$sheets" -gt 6 ]; then
  echo "FAIL: the page of 135 cars prints on $sheets sheets (at most 6)"; failed=1
else
  echo "page of 135 cars: $sheets A4 sheets"
fi
grep -q "Elasticiteterna och deras körningar" "$WORK/elasticity.html" || { echo "FAIL: the elasticity page lists no runs"; failed=1; }
grep -q '<td class="name">NISSAN Kicks</td>' "$WORK/fleet.html" || { echo "FAIL: the fleet page does not name its cars"; failed=1; }
# With the catalyst: the run's emissions since START and the temperatures
# besides; the comparison's HC and CO since START of both drivers.
check_page "$WORK/kat.html" 9 "$OUT/report-catalyst.png" || failed=1
grep -q "Den första minuten står för" "$WORK/kat.html" || { echo "FAIL: no first minute on the catalyst's page"; failed=1; }
check_page "$WORK/katcompare.html" 4 "$OUT/report-catalyst-compare.png" "214, 39, 40;40, 40, 140" || failed=1
check_page "$WORK/elrun.html" 5 "$OUT/report-electric.png" || failed=1
check_page "$WORK/elcompare.html" 3 "$OUT/report-electric-compare.png" "214, 39, 40;40, 40, 140" || failed=1
grep -q "kWh tillbaka genom regenerering" "$WORK/elrun.html" || { echo "FAIL: the electric run page says nothing of regeneration"; failed=1; }
grep -q "mer el\|mindre el\|lika mycket el" "$WORK/elcompare.html" || { echo "FAIL: the electric comparison does not speak of electricity"; failed=1; }
# The checks themselves find faults: the run page with its legends moved up
# into the plots, the map's note moved below its chart, an axis title
# without its unit and a wider table.
sed 's|<g class="legend">|<g class="legend" transform="translate(0,-150)">|; s|<g class="note">|<g class="note" transform="translate(0,300)">|; s|>tid (s)</text>|>tid</text>|; s|</h1>|</h1><table style="width:1400px"><tr><td>x</td></tr></table>|' \
  "$WORK/run.html" > "$WORK/broken.html"
if check_page "$WORK/broken.html" 7 "$WORK/broken.png" > "$WORK/broken.out"; then
  echo "FAIL: the checks passed a broken page"; failed=1
else
  for fault in 'overlaps a data mark' 'runs outside the chart' 'axis "tid" has no unit' \
               'the page is 14[0-9][0-9] px wide'; do
    grep -q "^FAULT .*$fault" "$WORK/broken.out" || { echo "FAIL: the checks missed: $fault"; failed=1; }
  done
fi
# --charts: every chart of the page as an SVG document of its own, the same
# drawing as on the page.
for kind in run study fromfiles compare; do
  page=$WORK/$kind.html
  n=$(grep -c '<svg ' "$page")
  files=("$WORK/charts-$kind"/*.svg)
  if [ "${#files[@]}" != "$n" ]; then echo "FAIL: $kind: ${#files[@]} chart files for $n charts"; failed=1; continue; fi
  for f in "${files[@]}"; do
    head -c 38 "$f" | grep -q '^<?xml version="1.0" encoding="UTF-8"?>' || { echo "FAIL: $f is no SVG document"; failed=1; }
    python3 -c 'import sys; svg = open(sys.argv[2]).read().split("\n", 1)[1].rstrip("\n")
sys.exit(0 if svg.startswith("<svg") and svg in open(sys.argv[1]).read() else 1)' "$page" "$f" \
      || { echo "FAIL: $f is not drawn as on the page"; failed=1; }
  done
  echo "charts of $kind: ${#files[@]} SVG files"
done
if [ $failed = 0 ]; then echo "7 passed, 0 failed"; else echo "FAILED"; fi
exit $failed
