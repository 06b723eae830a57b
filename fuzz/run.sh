#!/usr/bin/env bash
# Runs every fuzz target of a TRALVIK_FUZZ build for a while, one after the
# other, starting from the seed corpora in fuzz/corpus (which are only read;
# new inputs go to a scratch folder). Stops at the first report.
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# FUZZ_RUNS=N stops each target after N executions too (a long run:
#   FUZZ_RUNS=10000000 nice -n 10 fuzz/run.sh build-fuzz 6000 step).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(constants tables cycle gears snapshot input step recording study results electric testcars cardesc carsfolder classfolder)
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for t in "${targets[@]}"; do
  mkdir -p "$scratch/$t"
  rm -f "$build/fuzz-$t-"*
  echo "fuzz_$t: $seconds s"
  "$build/fuzz/fuzz_$t" ${FUZZ_RUNS:+-runs="$FUZZ_RUNS"} -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$build/fuzz-$t-" \
    "$scratch/$t" "fuzz/corpus/$t" 2>&1 | grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|stat::average_exec_per_sec)|ERROR|runtime error|SUMMARY|Test unit written" || true
  if ls "$build/fuzz-$t-"* >/dev/null 2>&1; then
    echo "fuzz_$t found a fault: $(ls "$build/fuzz-$t-"*)" >&2
    exit 1
  fi
done
