#!/usr/bin/env bash
# The search benchmark on two tiny trees: it prints its lines, the search and
# the bare walk agree, and it leaves the prefix as it found it. It runs twice,
# because a tree left behind makes the second run refuse to start.
#
#   search_bench_smoke.sh RUNNER PROGRAM PREFIX
set -euo pipefail
runner=$1
program=$2
prefix=$3
log="$prefix/drive_c/windows/system32/zkcoinst.log"
out=$(mktemp)
trap 'rm -f "$out"' EXIT

fingerprint() { if [ -f "$log" ]; then md5sum <"$log"; else echo "no log"; fi; }
fail() { echo "FAIL: $*"; cat "$out"; exit 1; }

for attempt in 1 2; do
  before=$(fingerprint)
  "$runner" "$program" --dirs 10 --dirs 40 --runs 2 >"$out" 2>&1 || fail "run $attempt exited $?"
  for dirs in 10 40; do
    grep -q "^search_tree dirs $dirs depth_max [0-9]* copies [0-9]* versioned [0-9]* build_ms " \
      "$out" || fail "no tree line for $dirs"
    grep -q "^search_time dirs $dirs runs 2 pass_median_ms [0-9.]* .* ratio [0-9.]* " "$out" ||
      fail "no time line for $dirs"
    grep -q "^search_check dirs $dirs files 6 agree 6 leaked_blocks 0" "$out" ||
      fail "search and walk disagree on $dirs"
  done
  grep -q "^search_growth from 10 to 40 dirs_factor 4.00 pass_factor [0-9.]* floor_factor " \
    "$out" || fail "no growth line"
  [ "$(fingerprint)" = "$before" ] || fail "the install log changed"
  [ ! -e "$prefix/drive_c/Program Files/Common Files/Marvshrd" ] || fail "the tree was left behind"
done
echo "search_bench smoke: ok"
