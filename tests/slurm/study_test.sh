#!/usr/bin/env bash
# A study split over a real Slurm on this machine: a 200-run fleet x
# sampling study planned, submitted as 8 array tasks (2 at a time) with a
# dependent merge, one task cancelled midway, the unfinished shards
# resubmitted, merged, and compared byte for byte with the same study run
# by one process. The daemons it started are stopped and its folders
# removed however it ends.
#
# Usage: study_test.sh TRALVIK_BATCH SOURCE_DIR   (exit 77: no Slurm here)
set -euo pipefail
batch=$1 src=$2
cluster=$src/tests/slurm/cluster.sh
"$cluster" available || exit $?

work=$(mktemp -d /tmp/tralvik-slurm-XXXXXX)
sdir=$(mktemp -d /tmp/tslurm-XXXXXX) # short: munge's socket path has a limit
cleanup() {
  "$cluster" stop "$sdir" > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
eval "$("$cluster" start "$sdir")"
export TRALVIK_BATCH=$batch

cd "$work"
cp -r "$src/data" data
cp "$src/tools/cars/test-cars.csv" cars.csv
study=(--no-draw --cars cars.csv --set Cykeltyp=T --set 'Ttidd=cykler\FTP75.CYK'
       --vary Massa=1000:1600 --vary-car final_drive=3:4.5 --samples 100 --seed 5 data)

"$batch" "${study[@]}" --jobs 2 --csv one.csv --json > one.json
[ "$(wc -l < one.csv)" = 201 ] || { echo "the study is not 200 runs"; exit 1; }
"$batch" "${study[@]}" --plan study.plan

# Waits until no job of ours is in the queue.
drain() {
  for _ in $(seq 600); do
    [ -z "$(squeue -h -o %i)" ] && return 0
    sleep 0.2
  done
  echo "the jobs did not end:"; squeue; exit 1
}

read -r array merge < <("$src/tools/slurm/submit-study.sh" study.plan out 8 --at-once 2 \
  --csv merged.csv --json merged.json)
echo "array $array, merge $merge"

# A task cancelled while its runs are under way: the first whose runs file
# has a run in it and no marker yet (tasks that end first are passed over).
cancelled=''
for i in $(seq 1 7); do
  for _ in $(seq 300); do
    if [ -f "out/shard-$i-of-8.runs" ] && [ "$(wc -l < "out/shard-$i-of-8.runs")" -ge 3 ]; then break; fi
    sleep 0.05
  done
  if [ ! -f "out/shard-$i-of-8.done" ]; then
    scancel "${array}_$i"
    cancelled=$i
    break
  fi
done
[ -n "$cancelled" ] || { echo "no task could be cancelled midway"; exit 1; }
drain
# Slurm cancels the merge whose dependency can no longer be met.
[ ! -f merged.csv ] || { echo "the merge ran on a cancelled study"; exit 1; }
missing=$("$batch" --plan study.plan --missing out --shards 8)
echo "cancelled task $cancelled; shards not finished: $missing"
case " $missing " in *" $cancelled "*) ;; *) echo "shard $cancelled should be unfinished"; exit 1 ;; esac
lines=$(($(wc -l < "out/shard-$cancelled-of-8.runs") - 1))
echo "shard $cancelled had $lines of its 25 runs"

"$src/tools/slurm/resubmit-study.sh" study.plan out 8 --at-once 2 --csv merged.csv --json merged.json
drain
[ -z "$("$batch" --plan study.plan --missing out --shards 8)" ] || { echo "shards still missing"; exit 1; }
cmp one.csv merged.csv
cmp one.json merged.json
echo "merged study = one process's study, byte for byte (200 runs)"
