# Looks at a report page in headless Chromium, 1280 px wide (PAGE_WIDTH), as a reader
# does, and takes a screenshot of the whole page. Sourced by browser_test.sh
# and tools/report-screenshots.sh; needs CHROMIUM and WORK (a scratch folder).
#
# check_page PAGE CHARTS PNG [COLOURS] checks that:
# - the page has CHARTS charts (svg.chart), each with drawn paths of some size;
# - no legend box (g.legend) overlaps a data mark (g.marks) or another legend;
# - no text of a chart runs outside the chart;
# - every axis title (g.axis-title) gives a unit in brackets;
# - the page is no wider than 1280 px (PAGE_WIDTH);
# - in each chart something is drawn in every colour of COLOURS
#   ("r, g, b;r, g, b": the runs of a comparison);
# then writes the screenshot PNG. Prints the measurements; returns 1 on a fault.

# write_drive FILE: a recorded drive of 30 s on the bundled map (START,
# throttle, a gear up, brake, throttle again). The first tick reads the clock
# twice: for the panel's set-up and for its step.
write_drive() {
python3 - "$1" <<'PY'
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
}

browse() { # PAGE [more flags]: headless Chromium on a file, with a fresh profile
  local page=$1; shift
  "$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d -p "$WORK")" "$@" "file://$page" 2>/dev/null
}

check_page() {
  local page=$1 charts=$2 png=$3 colours=${4:-}
  local name screen=${PAGE_WIDTH:-1280}
  name=$(basename "$png" .png)
  # A copy of the page with a script that measures it as laid out.
  sed 's|</body>|<script src="pagecheck.js"></script></body>|' "$page" > "$WORK/check.html"
  # The colours every chart must draw in, as the browser writes them.
  local wanted=""
  if [ -n "$colours" ]; then wanted="\"${colours//;/\",\"}\""; fi
  { echo "const wanted = [$wanted];"; echo "const screen = $screen;"; } > "$WORK/pagecheck.js"
  cat >> "$WORK/pagecheck.js" <<'JS'
const out = [];
const faults = [];
const svgs = document.querySelectorAll("svg.chart");
out.push("charts " + svgs.length);
const overlap = (a, b) =>
  a.left < b.right - 0.5 && b.left < a.right - 0.5 && a.top < b.bottom - 0.5 && b.top < a.bottom - 0.5;
const box = (r) => [r.left, r.top, r.right, r.bottom].map(Math.round).join(",");
for (const svg of svgs) {
  const title = JSON.stringify(svg.dataset.title);
  let drawn = 0;
  const colours = new Set();
  for (const p of svg.querySelectorAll("path")) {
    const b = p.getBBox();
    if (!p.getAttribute("d") || (b.width == 0 && b.height == 0)) continue;
    drawn++;
    const st = getComputedStyle(p);
    for (const c of [st.fill, st.stroke]) if (c.startsWith("rgb(")) colours.add(c.slice(4, -1));
  }
  const chart = svg.getBoundingClientRect();
  const legends = [...svg.querySelectorAll("g.legend")].map((g) => g.getBoundingClientRect());
  const marks = [...svg.querySelectorAll("g.marks path, g.marks rect, g.marks polyline, g.marks polygon, g.marks circle, g.marks ellipse, g.marks line")]
    .map((m) => m.getBoundingClientRect()).filter((r) => r.width > 0 || r.height > 0);
  legends.forEach((l, i) => {
    for (const m of marks)
      if (overlap(l, m)) { faults.push(title + ": legend " + box(l) + " overlaps a data mark " + box(m)); break; }
    for (let k = i + 1; k < legends.length; ++k)
      if (overlap(l, legends[k])) faults.push(title + ": legends " + box(l) + " and " + box(legends[k]) + " overlap");
  });
  let texts = 0;
  for (const t of svg.querySelectorAll("text")) {
    const r = t.getBoundingClientRect();
    ++texts;
    if (/^\s*-0(\.0*)?\s*$/.test(t.textContent)) faults.push(title + ": a label reads " + JSON.stringify(t.textContent));
    if (r.left < chart.left - 0.5 || r.right > chart.right + 0.5 || r.top < chart.top - 0.5 || r.bottom > chart.bottom + 0.5)
      faults.push(title + ": text " + JSON.stringify(t.textContent) + " at " + box(r) + " runs outside the chart " + box(chart));
  }
  const axes = [...svg.querySelectorAll("g.axis-title text")].map((t) => t.textContent);
  for (const a of axes)
    if (!/\(.+\)\s*$/.test(a)) faults.push(title + ": axis " + JSON.stringify(a) + " has no unit");
  if (axes.length == 0) faults.push(title + ": no axis title");
  for (const c of wanted)
    if (!colours.has(c)) faults.push(title + ": nothing drawn in rgb(" + c + ")");
  out.push("chart " + title + " paths " + drawn + " size " + Math.round(chart.width) + "x" +
           Math.round(chart.height) + " legends " + legends.length + " marks " + marks.length +
           " texts " + texts + " axes " + JSON.stringify(axes) + " colours " + colours.size);
}
const width = Math.max(document.documentElement.scrollWidth, document.body.scrollWidth);
const height = Math.max(document.documentElement.scrollHeight, document.body.scrollHeight);
out.push("page " + width + "x" + height);
if (width > screen) faults.push("the page is " + width + " px wide");
for (const f of faults) out.push("FAULT " + f);
const pre = document.createElement("pre"); pre.id = "verdict"; pre.textContent = out.join("\n");
document.body.appendChild(pre);
JS
  browse "$WORK/check.html" --dump-dom --window-size="$screen",1000 --virtual-time-budget=2000 > "$WORK/dom.html"
  local verdict
  verdict=$(sed -n '/<pre id="verdict">/,/<\/pre>/p' "$WORK/dom.html" | sed 's/<[^>]*>//g; s/&amp;/\&/g; s/&quot;/"/g')
  echo "$name:"; echo "$verdict"
  local n bad=0
  n=$(echo "$verdict" | sed -n 's/^charts \([0-9]*\)$/\1/p')
  if [ "$n" != "$charts" ]; then echo "FAIL: $name has ${n:-no} charts, expected $charts"; return 1; fi
  if echo "$verdict" | grep -q ' paths 0 '; then echo "FAIL: a chart of $name has no drawn path"; bad=1; fi
  if echo "$verdict" | grep -q ' size 0x\| size [0-9]*x0 '; then echo "FAIL: a chart of $name has no size"; bad=1; fi
  if echo "$verdict" | grep -q '^FAULT '; then echo "FAIL: $name has faults (above)"; bad=1; fi
  local height
  height=$(echo "$verdict" | sed -n 's/^page [0-9]*x\([0-9]*\)$/\1/p')
  browse "$page" --screenshot="$png" --window-size="$screen","${height:-2400}" --hide-scrollbars
  [ -s "$png" ] || { echo "FAIL: no screenshot of $name"; return 1; }
  echo "screenshot: $png"
  return $bad
}
