#!/usr/bin/env bash
# Runs each bundled car on every bundled time cycle and at a steady 90 km/h
# with tralvik-batch and prints the fuel and emission figures as a Markdown
# table (the one in README.md), then the calibration cars of the test-car
# list simulated against measured (tools/testcar). Usage:
# tools/fuel-table.sh [BUILD_DIR]; with NO_BUILD=1 the programs already built
# in BUILD_DIR are used as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-tools}
if [ -z "${NO_BUILD:-}" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DTRALVIK_TESTS=OFF -DTRALVIK_BENCH=OFF >/dev/null
  ninja -C "$BUILD" tralvik-batch testcar >/dev/null
fi
BATCH=$(realpath "$BUILD/batch/tralvik-batch")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One run: constants file $1 of data/, time cycle $2, initial speed $3 (m/s).
run() {
  rm -rf "$WORK/run" && cp -r data "$WORK/run"
  printf '0 25 0 120 0.04 0\r\n600 25 0 100 0.04 0\r\n610 25 0 100 0.04 0\r\n' > "$WORK/run/STEADY90.CYK"
  awk -v cyc="$2" -v v0="$3" 'BEGIN{ORS="\r\n"} {sub(/\r$/,"")} NR==1{$0=cyc} NR==37{$0="T"} NR==51{$0=v0} {print}' \
    "data/$1" > "$WORK/run/CONS.VAL"
  "$BATCH" --no-draw --quiet --json "$WORK/run" 2>/dev/null
}
field() { sed -E "s/.*\"$1\": ([-0-9.eE]+).*/\1/"; }

echo "| car | cycle | km | l/100 km | CO g/km | NOx g/km | HC g/km |"
echo "|---|---|---|---|---|---|---|"
for car in "Mellanbil CONS.VAL" "Dieselkombi DIESEL.VAL"; do
  set -- $car
  for c in WLTC3B NEDC UDDS FTP75 HWFET US06 ARTURBAN ARTRURAL ARTMW130 STEADY90; do
    if [ $c = STEADY90 ]; then j=$(run "$2" STEADY90.CYK 25); name="90 km/h"; else j=$(run "$2" "cykler\\$c.CYK" 0); name=$c; fi
    printf '| %s | %s | %.2f | %.2f | %.3f | %.3f | %.3f |\n' "$1" "$name" \
      "$(echo "$j" | field ltot_m | awk '{print $1/1000}')" "$(echo "$j" | field fuel_l_per_100km)" \
      "$(echo "$j" | field co_g_per_km)" "$(echo "$j" | field nox_g_per_km)" "$(echo "$j" | field hc_g_per_km)"
  done
done
echo
echo "Simulated against measured:"
echo
"$BUILD/tools/testcar" tools/cars/test-cars.csv --batch "$BATCH" --data data
