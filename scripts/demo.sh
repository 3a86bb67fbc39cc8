#!/usr/bin/env bash
# Sets everything up, builds the DLL, the harness and the recording stub, and
# installs the example camera package in a scratch Wine prefix (inside the build
# folder), printing the installation log and the programs that were started.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target zkcoinst install_harness record_stub \
  restore_pass_driver zk_preserve_fixtures zk_fixture_component >/dev/null
ZK_BUILD_DIR=$PWD/build/windows ZK_SOURCE_DIR=$PWD python3 scripts/demo.py
