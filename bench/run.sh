#!/usr/bin/env bash
# Builds the benchmark programs and runs them all: bash bench/run.sh [--against REV] [RUNS]
# The installation overhead is measured for each architecture whose programs
# run here (x86 and x64, or x64 alone on a host without 32-bit support;
# ZK_WINE_ARCHS chooses); the log, allocator and search figures for the first.
#
# --against REV (a git revision of this repository) builds REV's zkcoinst.dll
# in an export of REV under build/bench-base/<commit>/, kept for the next run,
# alternates it with this tree's DLL in the installation overhead, and ends
# each architecture with the calls one installation makes with either DLL
# (bench/call_counts.py). An architecture REV cannot be built for is measured
# without the comparison.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: bash bench/run.sh [--against REV] [RUNS]" >&2
  exit 2
}
# --against is this script's; the rest (RUNS) goes on to run.py as before.
against=
rest=()
while [ $# -gt 0 ]; do
  case "$1" in
    --against) [ $# -ge 2 ] || usage; against=$2; shift 2 ;;
    --against=*) against=${1#--against=}; shift ;;
    *) rest+=("$1"); shift ;;
  esac
done

bash scripts/bootstrap.sh >/dev/null
. cmake/wine-env.sh
wine_archs=$(zk_wine_archs)

if [ -n "$against" ]; then
  base_commit=$(git rev-parse --verify --quiet "$against^{commit}") ||
    { echo "bench: '$against' names no commit of this repository" >&2; exit 2; }
  base_name=$(git rev-parse --short "$base_commit")
  # Named by the whole commit, so a folder is only ever reused for the very
  # commit it was exported from.
  base_dir=$PWD/build/bench-base/$base_commit
fi

# Exports REV once: a plain copy of its tree (no worktree, so nothing is
# registered in the repository that the other worktrees share).
export_base() {
  [ -f "$base_dir/.exported" ] && return 0
  rm -rf "$base_dir"
  mkdir -p "$base_dir/src"
  git archive "$base_commit" | tar -x -C "$base_dir/src"
  touch "$base_dir/.exported"
}

# Builds REV's zkcoinst.dll for an architecture with REV's own preset (its
# toolchain and flags) in a build folder beside REV's tree, and sets base_dll
# to it; or prints one line that says why it cannot and returns 1. Only the
# DLL is built: REV's tests are not configured, which leaves the DLL as it is.
build_base() {
  local arch=$1 preset build log
  preset=$(zk_windows_preset "$arch")
  build=$base_dir/build-$arch
  log=$build.log
  base_dll=
  if ! (cd "$base_dir/src" && cmake --list-presets 2>/dev/null) | grep -q "\"$preset\""; then
    echo "bench: $base_name has no CMake preset $preset: $arch is measured without the comparison"
    return 1
  fi
  if ! (cd "$base_dir/src" && cmake --preset "$preset" -B "$build" -DZK_BUILD_TESTS=OFF &&
        cmake --build "$build" --target zkcoinst -j2) >"$log" 2>&1; then
    echo "bench: $base_name cannot be built for $arch ($log says why):" \
      "$arch is measured without the comparison"
    return 1
  fi
  base_dll=$(find "$build" -name zkcoinst.dll -type f | head -n 1)
  if [ -z "$base_dll" ]; then
    echo "bench: $base_name's $preset build made no zkcoinst.dll:" \
      "$arch is measured without the comparison"
    return 1
  fi
}

[ -z "$against" ] || export_base
first=1
for arch in $wine_archs; do
  preset=$(zk_windows_preset "$arch")
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target zkcoinst install_harness record_stub \
    null_coinstaller install_bench log_alloc_bench search_bench >/dev/null
  parts=all
  [ $first -eq 1 ] || parts=installation
  [ $first -eq 1 ] || echo
  compare=()
  base_dll=
  if [ -n "$against" ] && build_base "$arch"; then
    compare=(--against-dll "$base_dll" --against-rev "$base_name")
  fi
  export ZK_BUILD_DIR=$PWD/build/$preset ZK_WINE_ARCH=$arch ZK_SOURCE_DIR=$PWD
  python3 bench/run.py --parts "$parts" ${compare[@]+"${compare[@]}"} ${rest[@]+"${rest[@]}"}
  if [ -n "$base_dll" ]; then
    echo
    python3 bench/call_counts.py --dll "zkcoinst.dll $base_name=$base_dll" \
      --dll "zkcoinst.dll (this tree)=$PWD/build/$preset/bin/zkcoinst.dll"
  fi
  first=0
done
