#!/usr/bin/env bash
# Builds the release twice, from two clean clones of this checkout's commit in
# two different folders (of different depths, one after the other, in other
# time zones), and compares every file: the zip, SHA256SUMS, and every file
# the zip holds, as staged. A difference names the file and its first
# differing offset. Needs no Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
source=$PWD
work=$(mktemp -d "${TMPDIR:-/tmp}/zk-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

one=$work/a/zkcoinst
other=$work/second/deeper/clone-of-zkcoinst
start=$(date +%s)
for clone in "$one" "$other"; do
  git clone -q --no-hardlinks "$source" "$clone"
done
(cd "$one" && env -u SOURCE_DATE_EPOCH TZ=UTC bash scripts/release.sh >"$work/a.log" 2>&1) ||
  { cat "$work/a.log"; exit 1; }
built=$(date +%s)
(cd "$other" && env -u SOURCE_DATE_EPOCH TZ=Asia/Tokyo bash scripts/release.sh >"$work/b.log" 2>&1) ||
  { cat "$work/b.log"; exit 1; }
echo "two release builds of $(git -C "$one" rev-parse --short HEAD): $((built - start)) s and $(($(date +%s) - built)) s"
status=0
python3 tests/release/compare_trees.py "$one/dist" "$other/dist" || status=1
python3 tests/release/compare_trees.py "$one/build/release-stage" "$other/build/release-stage" ||
  status=1
exit $status
