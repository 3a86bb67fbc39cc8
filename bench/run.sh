#!/usr/bin/env bash
# Builds the benchmark programs and runs them all: bash bench/run.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target zkcoinst install_harness record_stub null_coinstaller \
  install_bench log_alloc_bench search_bench >/dev/null
ZK_BUILD_DIR=$PWD/build/windows ZK_SOURCE_DIR=$PWD python3 bench/run.py "$@"
