#!/usr/bin/env bash
# Submit a planned study to Slurm: one array task per shard, then the merge.
#
# Usage: tools/slurm/submit-study.sh PLAN OUTDIR SHARDS [--at-once M]
#          [--csv FILE] [--json FILE] [--report PAGE] [--only LIST]
#          [-- extra sbatch options]
#
#   PLAN       written beforehand by `tralvik-batch [study options] --plan PLAN`
#   OUTDIR     where the shards write (made if missing; on a shared disk)
#   SHARDS     how many shards the plan is cut into (array tasks 0..SHARDS-1)
#   --at-once  at most M tasks running at a time (--array=...%M)
#   --csv      the merged table (default OUTDIR/study.csv)
#   --json     also the runs as JSON lines, to FILE
#   --report   also the HTML page PAGE
#   --only     submit only these shards (comma-separated, as resubmit-study.sh
#              does); an empty LIST submits the merge alone
#   -- ...     options for both sbatch calls (--partition=..., --account=...,
#              --time=..., --cpus-per-task=N, --output=...)
#
# Prints "ARRAYID MERGEID" ("-" for no array). The merge waits for every task
# to end with status 0 (afterok); if any task fails or is cancelled Slurm
# cancels the merge (--kill-on-invalid-dep) instead of leaving it pending for
# ever, and resubmit-study.sh submits the unfinished shards and a new merge.
# Environment: TRALVIK_BATCH (default tralvik-batch) is passed to the jobs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

usage() { sed -n '4,8p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
die() { echo "submit-study.sh: $*" >&2; exit 2; }
# Jobs may start in another folder (--chdir): give them absolute paths.
abs() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
count() { [[ $1 =~ ^[1-9][0-9]*$ ]] || die "$2 must be a positive number, not '$1'"; }

[ $# -ge 3 ] || usage
plan=$(abs "$1") out=$(abs "$2") shards=$3
shift 3
count "$shards" SHARDS
[ -f "$plan" ] || die "no plan $plan"
at_once='' csv=$out/study.csv json='' report='' only='' only_given=''
extra=()
while [ $# -gt 0 ]; do
  [ "$1" = -- ] || [ $# -ge 2 ] || die "$1 needs a value"
  case $1 in
    --at-once) count "$2" --at-once; at_once=$2 ;;
    --csv) csv=$(abs "$2") ;;
    --json) json=$(abs "$2") ;;
    --report) report=$(abs "$2") ;;
    --only) only=$2 only_given=1 ;;
    --) shift; extra=("$@"); break ;;
    *) die "unknown option $1" ;;
  esac
  shift 2
done

if [ -n "$only_given" ]; then
  [[ -z $only || $only =~ ^[0-9]+(,[0-9]+)*$ ]] || die "--only takes shard numbers like 3,5"
  for i in ${only//,/ }; do [ "$i" -lt "$shards" ] || die "shard $i is not below $shards"; done
  tasks=$only
else
  tasks=0-$((shards - 1))
fi
[ -z "$tasks" ] || [ -z "$at_once" ] || tasks=$tasks%$at_once
mkdir -p "$out"

# Values go through the environment (--export=ALL), not --export=ALL,K=V:
# a comma in a path would split the list there.
export PLAN=$plan OUT=$out SHARDS=$shards CSV=$csv
[ -z "$json" ] || export JSON=$json
[ -z "$report" ] || export REPORT=$report
# The comment marks the study's jobs, so resubmit-study.sh can tell whether
# any are still queued.
mark="tralvik-study $out"

array=-
dep=()
if [ -n "$tasks" ]; then
  array=$(sbatch --parsable --export=ALL --comment="$mark" --array="$tasks" "${extra[@]}" \
    "$here/study-shard.sbatch")
  # --parsable prints "ID;CLUSTER" on a multi-cluster site.
  array=${array%%;*}
  dep=(--dependency="afterok:$array" --kill-on-invalid-dep=yes)
fi
merge=$(sbatch --parsable --export=ALL --comment="$mark" "${dep[@]}" "${extra[@]}" \
  "$here/study-merge.sbatch")
merge=${merge%%;*}
echo "$array $merge"
