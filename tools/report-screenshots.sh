#!/usr/bin/env bash
# Makes the report pages shown in the README again and takes their
# screenshots (1280 px wide, headless Chromium), after the same checks the
# browser test makes (tests/report/pagecheck.sh):
#   docs/studie.html, docs/studie.csv, docs/studie.png  the worked example's study
#   docs/rapport-ftp75.png     --report of one FTP-75 run on the default car
#   docs/rapport-resultat.png  resultreport on the result files of that run
# (the comparison page is checked here as well; its picture in docs/,
#   docs/jamforelse.png, is a student's page of tools/lesson/class-demo.sh)
# Needs the build in build/ (tralvik-batch, tralvik-batch-draw, resultreport)
# and Chromium.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
SRC=$top BATCH=$top/build/batch/tralvik-batch TOOL=$top/build/tools/resultreport
CHROMIUM=$(command -v chromium || true)
[ -n "$CHROMIUM" ] || { echo "report-screenshots: chromium is not installed"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
. "$top/tests/report/pagecheck.sh"
cd "$top"

# The worked example of the README (ten runs).
"$BATCH" --quiet --no-draw --set Cykeltyp=T \
  --sweep 'Ttidd=cykler\WLTC3B.CYK,cykler\FTP75.CYK' \
  --sweep Massa=1100,1200,1300,1400,1500 --jobs 2 \
  --csv docs/studie.csv --report docs/studie.html data > /dev/null
check_page "$top/docs/studie.html" 6 docs/studie.png

# One FTP-75 run with both result files, and the page made from those files.
cp -r data "$WORK/data"
"$BATCH" --quiet --no-draw --spara 1100 --set Cykeltyp=T --set 'Ttidd=cykler\FTP75.CYK' \
  --keep "$WORK/kept" --report "$WORK/rapport-ftp75.html" "$WORK/data" > /dev/null
check_page "$WORK/rapport-ftp75.html" 7 docs/rapport-ftp75.png
run=$(ls -d "$WORK/kept"/*/)
"$TOOL" -o "$WORK/rapport-resultat.html" "$run"
check_page "$WORK/rapport-resultat.html" 6 docs/rapport-resultat.png

# The comparison of a recorded drive with the built-in driver.
write_drive "$WORK/drive.rec"
"$BATCH" --compare "$WORK/drive.rec" data --report "$WORK/jamforelse.html" > /dev/null
check_page "$WORK/jamforelse.html" 2 "$WORK/jamforelse.png" "214, 39, 40;40, 40, 140"
echo "report-screenshots: docs/studie.png docs/rapport-ftp75.png docs/rapport-resultat.png"
