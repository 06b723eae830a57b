#!/usr/bin/env bash
# Builds the data tools and writes every file of data/ again: the two car
# folders, the drive cycles, the map, the pictures, the sounds, the texts and
# the constants files. Usage: tools/make-data.sh [BUILD_DIR]; with NO_BUILD=1
# the tools already built in BUILD_DIR are used as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-tools}
if [ -z "${NO_BUILD:-}" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DTRALVIK_TESTS=OFF -DTRALVIK_BENCH=OFF >/dev/null
  ninja -C "$BUILD" carmaker cycleconv roadmaker picmaker soundmaker textconv consmaker >/dev/null
fi
T=$BUILD/tools
D=data

mkdir -p $D/cykler
# Cars.
"$T/carmaker" tools/cars/mellanbil.txt $D/Mellanbil
"$T/carmaker" tools/cars/dieselkombi.txt $D/Dieselkombi
"$T/carmaker" tools/cars/elbil.txt $D/Elbil
# Time cycles from the standard speed traces, automatic gearbox from the start.
conv() { "$T/cycleconv" "tools/cycles/$1" "$D/cykler/$2" --auto --note "$3"; }
conv wltc_class3b.csv    WLTC3B.CYK   "WLTC klass 3b, 1800 s, 23.266 km"
conv nedc.csv            NEDC.CYK     "NEDC, 1180 s, 11.028 km"
conv udds.csv            UDDS.CYK     "UDDS, 1369 s, 11.990 km"
conv ftp75_nosoak.csv    FTP75.CYK    "FTP-75 utan varmstopp, 1874 s, 17.770 km"
conv hwfet.csv           HWFET.CYK    "HWFET, 765 s, 16.507 km"
conv us06.csv            US06.CYK     "US06, 600 s, 12.888 km"
conv artemis_urban.csv   ARTURBAN.CYK "Artemis stad, 993 s, 4.870 km"
conv artemis_rural.csv   ARTRURAL.CYK "Artemis landsväg, 1082 s, 17.272 km"
conv artemis_mway130.csv ARTMW130.CYK "Artemis motorväg 130, 1068 s, 28.736 km"
# Phase files next to the cycles whose standard defines phases (Windows-1252,
# CR LF like every data file).
fas() { iconv -f UTF-8 -t CP1252 "tools/cycles/$1" | sed 's/$/\r/' > "$D/cykler/$2"; }
fas wltc_class3b.fas WLTC3B.FAS
fas ftp75_nosoak.fas FTP75.FAS
fas nedc.fas         NEDC.FAS
fas udds.fas         UDDS.FAS
# The map.
"$T/roadmaker" tools/karta/karta.txt $D/KARTA.CYK >/dev/null
# Pictures, sounds, texts and constants.
"$T/picmaker" $D
"$T/soundmaker" $D
"$T/textconv" tools/text/preword.txt $D/preword.txt
"$T/consmaker" tools/text/CONS.txt tools/cars/mellanbil.txt $D/CONS.VAL
"$T/consmaker" tools/text/DIESEL.txt tools/cars/dieselkombi.txt $D/DIESEL.VAL
"$T/consmaker" tools/text/ELBIL.txt tools/cars/elbil.txt $D/ELBIL.VAL
# Each car's own constants from its constants file, for studies that pick
# the car with --set or --sweep Bilmapp.
bil() {
  awk 'BEGIN { split("16 Imax 18 Massa 21 Tank 24 Fbmax 25 Phjalp 27 CdA 32 Brannv 33 Tathet 34 Nmax", a, " ")
               for (i = 1; i < 18; i += 2) n[a[i]] = a[i + 1]
               printf "# Bilens egna konstanter (tralvik-batch --sweep Bilmapp)\r\n" }
       { sub(/\r$/, "") }
       (NR in n) { printf "%s=%s\r\n", n[NR], $0 }' "$1" > "$2"
}
bil $D/CONS.VAL $D/Mellanbil/BIL.VAL
bil $D/DIESEL.VAL $D/Dieselkombi/BIL.VAL
bil $D/ELBIL.VAL $D/Elbil/BIL.VAL
echo "data/ written"
