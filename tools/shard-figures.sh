#!/usr/bin/env bash
# The README's figures of a study split over processes: the memory of a
# plan of a million runs and of a shard reading it, the merge of 100 000
# rows (its shards made from one real run's result, so that no hour of
# runs is needed to measure the merge), and, where Slurm can be started
# here, one study on one process against two array tasks at once.
#
# Usage: tools/shard-figures.sh [BUILD]   (default build)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
batch=$build/batch/tralvik-batch
work=$(mktemp -d /tmp/tralvik-shard-figures-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp -r "$src/data" data
cp "$src/tools/cars/test-cars.csv" cars.csv
rss() { /usr/bin/time -f "%M %e" "$@" 2>&1 >/dev/null | tail -1; }

echo "| step | runs | peak memory (MB) | seconds |"
echo "|---|---|---|---|"
row() { # what, runs, "KB s"
  read -r kb s <<< "$3"
  printf '| %s | %s | %.1f | %s |\n' "$1" "$2" "$(echo "$kb / 1024" | bc -l)" "$s"
}
v1=$(seq -s, 1000 1 1999) v2=$(seq -s, 0 1 999)
row "plan: --sweep 1000 x 1000" 1000000 \
  "$(rss "$batch" --no-draw --set Cykeltyp=T --sweep "Massa=$v1" --sweep "Phjalp=$v2" --max-runs 1000000 --plan sweep.plan data)"
row "plan: --vary x2 --samples 1000000" 1000000 \
  "$(rss "$batch" --no-draw --vary Massa=1000:1600 --vary Phjalp=0:2000 --samples 1000000 --max-runs 1000000 --plan samples.plan data)"
row "plan: 2 cars x --samples 500000" 1000000 \
  "$(rss "$batch" --no-draw --cars cars.csv --vary Massa=1000:1600 --vary-car final_drive=3:4 --samples 500000 --max-runs 1000000 --plan fleet.plan data)"
row "shard 0/100000 of the sweep's plan (10 runs)" 10 \
  "$("$batch" --plan sweep.plan --shard 0/100000 --out sweep.out --jobs 2 2>/dev/null; rss "$batch" --plan sweep.plan --shard 1/100000 --out sweep.out --jobs 2)"
rm -f sweep.plan samples.plan fleet.plan

# 100 000 rows: a plan of that size, its 8 shards' files written from one
# real run's result.
v3=$(seq -s, 1000 1 1099)
"$batch" --no-draw --set Cykeltyp=T --set 'Ttidd=cykler\ARTURBAN.CYK' --sweep "Massa=$v3" --sweep "Phjalp=$v2" \
  --max-runs 100000 --plan merge.plan data 2>/dev/null
"$batch" --plan merge.plan --shard 0/100000 --out real --jobs 1 2>/dev/null
python3 - <<'EOF'
import json, os
plan = open("merge.plan", encoding="latin-1").read().split("\n")
real = open("real/shard-0-of-100000.runs", encoding="latin-1").read().split("\n")
head, record = json.loads(real[0]), json.loads(real[1])
os.makedirs("out", exist_ok=True)
files = {}
for k in range(8):
    h = dict(head, shard=k, shards=8)
    f = open(f"out/shard-{k}-of-8.runs", "w", encoding="latin-1")
    f.write(json.dumps(h, separators=(",", ":")) + "\n")
    files[k] = f
for line in plan[2:]:
    if not line.startswith("{"):
        continue
    run = json.loads(line)
    r = dict(record)
    for key in ("run", "name", "folder", "sets", "swept", "car"):
        r[key] = run[key]
    files[run["run"] % 8].write(json.dumps(r, separators=(",", ":")) + "\n")
for k, f in files.items():
    f.close()
    open(f"out/shard-{k}-of-8.done", "w").write("\n")
EOF
row "merge: --csv --json" 100000 "$(rss "$batch" --merge out --csv merged.csv --json)"
row "merge: --csv --long" 100000 "$(rss "$batch" --merge out --csv merged.csv --long long.csv)"
echo
echo "merged table: $(($(wc -l < merged.csv) - 1)) rows, $(du -m merged.csv | cut -f1) MB; shards' files $(du -sm out | cut -f1) MB"

# One process against two array tasks: the Slurm test's study.
cluster=$src/tests/slurm/cluster.sh
if "$cluster" available > /dev/null 2>&1; then
  sdir=$(mktemp -d /tmp/tslurm-XXXXXX)
  trap '"$cluster" stop "$sdir" > /dev/null 2>&1 || true; rm -rf "$work"' EXIT
  eval "$("$cluster" start "$sdir")"
  export TRALVIK_BATCH=$batch
  study=(--no-draw --cars cars.csv --set Cykeltyp=T --set 'Ttidd=cykler\FTP75.CYK'
         --vary Massa=1000:1600 --vary-car final_drive=3:4.5 --samples "${SAMPLES:-100}" --seed 5 data)
  "$batch" "${study[@]}" --plan study.plan 2>/dev/null
  one1=$(rss "$batch" "${study[@]}" --jobs 1 --csv one1.csv | cut -d' ' -f2)
  one2=$(rss "$batch" "${study[@]}" --jobs 2 --csv one2.csv | cut -d' ' -f2)
  start=$(date +%s.%N)
  "$src/tools/slurm/submit-study.sh" study.plan sl 2 --at-once 2 --csv slurm.csv > /dev/null
  sleep 1
  while [ -n "$(squeue -h -o %i)" ]; do sleep 0.2; done
  slurm=$(echo "$(date +%s.%N) - $start" | bc -l)
  merge=$(rss "$batch" --merge sl --csv again.csv)
  cmp -s one1.csv slurm.csv && same=yes || same=NO
  echo
  echo "| a study of $((2 * ${SAMPLES:-100})) runs (FTP-75, 2 cars x ${SAMPLES:-100} samples) | seconds |"
  echo "|---|---|"
  printf '| one process, one run at a time (--jobs 1) | %.1f |\n' "$one1"
  printf '| one process, two runs at a time (--jobs 2) | %.1f |\n' "$one2"
  printf '| 2 array tasks at once, 1 CPU each, submit to merged CSV | %.1f (%.0f %% of --jobs 1) |\n' "$slurm" "$(echo "100 * $slurm / $one1" | bc -l)"
  read -r kb s <<< "$merge"
  printf '| the merge alone (%.1f MB) | %s |\n' "$(echo "$kb / 1024" | bc -l)" "$s"
  echo
  echo "merged CSV equal to one process's: $same"
fi
