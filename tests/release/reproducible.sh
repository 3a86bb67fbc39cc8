#!/usr/bin/env bash
# Builds the release twice, from two clean clones of this checkout's commit in
# two different folders (of different depths, one after the other, in other
# time zones), and compares every file: the zip, SHA256SUMS, and every file
# the zip holds, as staged. A difference names the file and its first
# differing offset. Needs no Wine.
#
# Where this checkout is clean (its commit is the clones'), the release's DLLs,
# their symbols and the Windows checkers must also be the very files of the
# windows and windows-x64 builds that the tests ran on (when those are built).
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

if [ -z "$(git status --porcelain --untracked-files=no)" ]; then
  stage=$(echo "$one"/build/release-stage/zkcoinst-*)
  pairs=()
  for each in x86:windows x64:windows-x64; do
    arch=${each%%:*} bin=build/${each#*:}/bin
    for name in zkcoinst.dll zkcoinst.dll.debug zkremove.exe; do
      if [ -f "$bin/$name" ]; then pairs+=("$stage/$arch/$name" "$bin/$name"); fi
    done
  done
  for name in zkinicheck zkpkgcheck zklogcheck; do
    if [ -f "build/windows-x64/bin/$name.exe" ]; then
      pairs+=("$stage/tools/windows/$name.exe" "build/windows-x64/bin/$name.exe")
    fi
  done
  if [ ${#pairs[@]} -gt 0 ]; then
    echo "the release's files against the tested builds':"
    python3 tests/release/compare_trees.py --pairs "${pairs[@]}" || status=1
  fi
else
  echo "this checkout has changes: the release is not compared with its tested builds"
fi
exit $status
