#!/usr/bin/env bash
# Builds the benchmark programs and runs them all: bash bench/run.sh [RUNS]
# The installation overhead is measured for each architecture whose programs
# run here (x86 and x64, or x64 alone on a host without 32-bit support;
# ZK_WINE_ARCHS chooses); the log, allocator and search figures for the first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh >/dev/null
. cmake/wine-env.sh
wine_archs=$(zk_wine_archs)
first=1
for arch in $wine_archs; do
  preset=$(zk_windows_preset "$arch")
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target zkcoinst install_harness record_stub \
    null_coinstaller install_bench log_alloc_bench search_bench >/dev/null
  parts=all
  [ $first -eq 1 ] || parts=installation
  [ $first -eq 1 ] || echo
  ZK_BUILD_DIR=$PWD/build/$preset ZK_WINE_ARCH=$arch ZK_SOURCE_DIR=$PWD \
    python3 bench/run.py --parts "$parts" "$@"
  first=0
done
