#!/usr/bin/env bash
# The figures of the README's Studies section, made again by the commands
# the README shows (in a copy of data/, so nothing of the repository is
# written). Each block stands in README.md between the lines
# "<!-- readme-figures NAME -->" and "<!-- /readme-figures -->".
#   tools/readme-figures.sh [BUILD_DIR]           print the blocks
#   tools/readme-figures.sh --check [BUILD_DIR]   exit 1 when README.md differs
#   tools/readme-figures.sh --write [BUILD_DIR]   write them into README.md
#                                                 (and docs/studie.csv, .html)
set -euo pipefail
mode=print
case "${1:-}" in --check | --write) mode=${1#--}; shift ;; esac
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
[[ $build = /* ]] || build=$root/$build
B=$build/batch/tralvik-batch
[ -x "$B" ] || { echo "readme-figures: no $B (build it first)" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r data "$tmp/data"
rm -f "$tmp"/data/Resultat*.txt "$tmp"/data/ERROR.TAB
cd "$tmp"
mkdir blocks

# Columns of a CSV by name, as a Markdown table; FORMATS are printf formats.
table() { # CSV "COL:HEAD:FORMAT" ...
  # Read as CSV: phase names hold commas inside quotes.
  python3 - "$@" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline='')))
col = {name: i for i, name in enumerate(rows[0])}
columns = [a.split(':') for a in sys.argv[2:]]
print('|' + ''.join(' %s |' % h.replace('_', ' ') for _, h, _ in columns))
print('|' + '---|' * len(columns))
for r in rows[1:]:
    cells = []
    for name, _, fmt in columns:
        v = r[col[name]] if name in col and col[name] < len(r) else ''
        if v == '': v = '-'
        elif fmt == '%': v = '%.1f %%' % (float(v) * 100)
        elif fmt != 's': v = fmt % float(v)
        cells.append(' %s |' % v)
    print('|' + ''.join(cells))
PY
}
indent() { sed 's/^/    /'; }

# The worked example: two cycles, five masses.
"$B" --no-draw --quiet --set Cykeltyp=T \
  --sweep 'Ttidd=cykler\WLTC3B.CYK,cykler\FTP75.CYK' \
  --sweep Massa=1100,1200,1300,1400,1500 --jobs 2 \
  --csv studie.csv --report studie.html data > /dev/null
{
  echo "Ten runs. A few of the $(head -1 studie.csv | tr , '\n' | wc -l) columns of \`studie.csv\`:"
  echo
  table studie.csv run:run:s fuel_l_per_100km:l/100_km:%.2f co2_g_per_km:CO2_g/km:%.1f \
    co_g_per_km:CO_g/km:%.3f nox_g_per_km:NOx_g/km:%.3f trace_rms_kmh:trace_RMS_km/h:%.2f \
    trace_share_off:\>_2_km/h:%
} > blocks/studie

# Two cars on FTP-75 and HWFET: the bags' weighting, city and highway combined, US units.
"$B" --no-draw --quiet --units us --set Cykeltyp=T \
  --sweep Bilmapp=Mellanbil,Dieselkombi \
  --sweep 'Ttidd=cykler\FTP75.CYK,cykler\HWFET.CYK' --jobs 2 data |
  grep -E '^(==|fuel used|CO2|FTP-75|combined)' | indent > blocks/bilar

# A fleet: five cars of the calibration list (tools/cars/fleet-example.csv)
# on FTP-75 and HWFET.
"$B" --no-draw --quiet --units us --cars "$root/tools/cars/fleet-example.csv" --set Cykeltyp=T \
  --sweep 'Ttidd=cykler\FTP75.CYK,cykler\HWFET.CYK' --jobs 2 --csv flotta.csv data > /dev/null
table flotta.csv make:make:s model:model:s cycle:cycle:s fuel_l_per_100km:l/100_km:%.2f \
  fuel_mpg:mpg:%.1f ftp75_l_per_100km:FTP-75_weighted_l/100_km:%.2f \
  combined_l_per_100km:combined_l/100_km:%.2f combined_mpg:combined_mpg:%.1f \
  combined_co2_g_per_km:combined_CO2_g/km:%.1f > blocks/flotta

# Sampling: a Latin hypercube over mass and drag area, then the elasticities.
"$B" --no-draw --quiet --set Cykeltyp=T --set 'Ttidd=cykler\WLTC3B.CYK' \
  --vary Massa=1100:1500 --vary CdA=0.55:0.75 --samples 8 --seed 1 --jobs 2 \
  --csv urval.csv data > /dev/null
table urval.csv run:run:s Massa:Massa_kg:%.1f CdA:CdA_m2:%.4f fuel_l_per_100km:l/100_km:%.2f \
  co2_g_per_km:CO2_g/km:%.1f > blocks/urval
"$B" --no-draw --quiet --set Cykeltyp=T --set 'Ttidd=cykler\WLTC3B.CYK' \
  --vary Massa=1100:1500 --vary CdA=0.55:0.75 --elasticity --jobs 2 data |
  grep '^elasticity' | indent > blocks/elasticitet

# The energy balance of one WLTC run.
"$B" --no-draw --quiet --set Cykeltyp=T --set 'Ttidd=cykler\WLTC3B.CYK' --json data |
  awk -F'[:,{}]' '{ for (i = 1; i < NF; ++i) if ($i ~ /"energy_/) { k = $i; gsub(/[" ]|energy_|_j/, "", k)
                                                                     if (k == "fuel") fuel = $(i + 1)
                                                                     kj = sprintf("%.0f", $(i + 1) / 1000)
                                                                     share = sprintf("%.2f", 100 * $(i + 1) / fuel)
                                                                     if (kj == "-0") kj = "0"
                                                                     if (share == "-0.00") share = "0.00"
                                                                     printf "| %s | %s | %s |\n", k, kj, share } }' |
  { echo "| term | kJ | % of the fuel |"; echo "|---|---|---|"; cat; } > blocks/energi

case $mode in
check)
  for f in blocks/*; do
    n=$(grep -c "^<!-- readme-figures $(basename "$f") -->\$" "$root/README.md" || true)
    [ "$n" = 1 ] || { echo "readme-figures: README.md has $n blocks '$(basename "$f")', not 1" >&2; exit 1; }
  done ;;
esac
case $mode in
print)
  for f in blocks/*; do echo "== $(basename "$f")"; cat "$f"; done ;;
check | write)
  awk -v dir="$tmp/blocks" '
    /^<!-- readme-figures [a-z]+ -->$/ { print; name = $3
                                         while ((getline l < (dir "/" name)) > 0) print l
                                         skip = 1; next }
    /^<!-- \/readme-figures -->$/ { skip = 0 }
    !skip { print }' "$root/README.md" > README.new
  if [ "$mode" = write ]; then
    cp README.new "$root/README.md"
    cp studie.csv studie.html "$root/docs/"
  elif ! diff -u "$root/README.md" README.new; then
    echo "readme-figures: README.md differs from what the commands print now (above);" \
         "tools/readme-figures.sh --write makes it so" >&2
    exit 1
  fi ;;
esac
