#!/usr/bin/env bash
# A class of 30 as a teacher would run it: the drives made by classmaker
# (25 petrol, 3 diesel, Å/Ä/Ö and spaces in names, a .REC, two cut files, a
# note that is no recording), then one class run timed as a whole process;
# checks 30 rows, 30 distinct pages, the class page on one A4 sheet and the
# data folder unchanged.
#
# Usage: tools/lesson/class-of-30.sh [BUILD] [DATA]
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
data=$(cd "${2:-$src/data}" && pwd)
work=$(mktemp -d /tmp/tralvik-class30-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/tools/classmaker" "$data" "$work/out" > /dev/null
before=$(cd "$data" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sha256sum)
start=$(date +%s.%N)
status=0
"$build/batch/tralvik-batch" --class "$work/out/klass" "$data" --report "$work/klass.html" --jobs 2 \
  > "$work/table.txt" 2> "$work/err.txt" || status=$?
seconds=$(echo "$(date +%s.%N) - $start" | bc -l)
after=$(cd "$data" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sha256sum)
cat "$work/table.txt" "$work/err.txt"
rows=$(($(grep -c . "$work/table.txt") - 2)) # without the header and the built-in driver
pages=$(find "$work" -maxdepth 1 -name 'klass-*.html' | wc -l)
printed=-
if command -v chromium > /dev/null; then
  chromium --headless --no-sandbox --disable-gpu --no-first-run --no-pdf-header-footer \
    --user-data-dir="$work/chromium" --print-to-pdf="$work/klass.pdf" "file://$work/klass.html" 2> /dev/null
  printed=$(python3 -c 'import re,sys; print(len(re.findall(rb"/Type\s*/Page[^s]", open(sys.argv[1],"rb").read())))' \
    "$work/klass.pdf")
fi
printf 'class of 30: %.1f s, exit %d, %d rows, %d pages of students, class page printed on %s A4 page(s), data folder %s\n' \
  "$seconds" "$status" "$rows" "$pages" "$printed" "$([ "$before" = "$after" ] && echo unchanged || echo CHANGED)"
