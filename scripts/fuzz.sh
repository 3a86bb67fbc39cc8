#!/usr/bin/env bash
# Builds the fuzz targets and runs each of them, one after the other, for the
# given number of executions (default 2000000) on its seed corpus.
#   bash scripts/fuzz.sh [EXECUTIONS] [TARGET...]
# The seed corpora in tests/fuzz/corpus stay as they are: new inputs go to
# build/fuzz/long/<target>/corpus, crashes to build/fuzz/long/<target>/, and
# each run's output to build/fuzz/long/<target>/run.log. One summary line per
# target: executions, coverage (cov, ft), corpus size, seconds, result.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-2000000}
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

status=0
for target in "${targets[@]}"; do
  work="build/fuzz/long/$target"
  mkdir -p "$work/corpus"
  start=$(date +%s)
  result=ok
  # One process, one job: the machine is shared.
  if ! "build/fuzz/tests/fuzz/$target" -runs="$runs" -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/corpus" "tests/fuzz/corpus/$target" \
      >"$work/run.log" 2>&1; then
    result="FAILED (see $work/run.log)"
    status=1
  fi
  seconds=$(( $(date +%s) - start ))
  last=$(grep -E '^#[0-9]+' "$work/run.log" | tail -n 1 || true)
  executions=$(grep -E '^stat::number_of_executed_units' "$work/run.log" | awk '{print $2}' || true)
  corpus=$(find "$work/corpus" -type f | wc -l)
  echo "$target: executions ${executions:-?}, last: ${last:-none}, corpus $corpus files, ${seconds}s, $result"
done
exit $status
