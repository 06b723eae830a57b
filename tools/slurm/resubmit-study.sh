#!/usr/bin/env bash
# Submit again the shards of a study that did not finish (failed, cancelled,
# out of time), and a new merge after them.
#
# Usage: tools/slurm/resubmit-study.sh PLAN OUTDIR SHARDS [options of
#          submit-study.sh: --at-once, --csv, --json, --report, -- ...]
#
# Which shards are missing comes from the program itself (a shard is done
# when its marker is in OUTDIR); a shard cut short resumes from its first
# missing run. SHARDS must be the count of the first submission: the tasks
# get it explicitly, as the array (e.g. --array=3,5) no longer has that many.
# Refuses while jobs of this study are still queued or running, since they
# would be submitted twice. Prints "ARRAYID MERGEID" like submit-study.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
die() { echo "resubmit-study.sh: $*" >&2; exit 2; }
[ $# -ge 3 ] || die "usage: resubmit-study.sh PLAN OUTDIR SHARDS [submit-study.sh options]"
plan=$1 out=$2 shards=$3
shift 3
case $out in /*) ;; *) out=$PWD/$out ;; esac

# The jobs submit-study.sh marked with this OUTDIR and that are not over.
queued=$(squeue --me -h -o '%i %k' | awk -v m="tralvik-study $out" \
  'substr($0, index($0, " ") + 1) == m {print $1}')
[ -z "$queued" ] || die "jobs of this study are still queued: ${queued//$'\n'/ }; wait or scancel them"

missing=$("${TRALVIK_BATCH:-tralvik-batch}" --plan "$plan" --missing "$out" --shards "$shards")
read -ra shard_list <<< "$missing"
list=$(IFS=,; echo "${shard_list[*]}")
if [ -z "$list" ]; then
  echo "resubmit-study.sh: every shard is done; submitting the merge alone" >&2
else
  echo "resubmit-study.sh: shards $list" >&2
fi
exec "$here/submit-study.sh" "$plan" "$out" "$shards" --only "$list" "$@"
