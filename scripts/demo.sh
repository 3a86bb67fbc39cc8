#!/usr/bin/env bash
# Sets everything up, builds both DLLs (x86 and x64), the harness and the
# recording stub, and installs the example camera package in a scratch Wine
# prefix (inside the build folder), printing the installation log and the
# programs that were started, and ends by explaining the logs it kept with
# zklogcheck. It runs the x86 build where this host runs 32-bit programs,
# otherwise the x64 build in a 64-bit prefix; ZK_WINE_ARCHS (e.g. x64) chooses.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh >/dev/null
. cmake/wine-env.sh
wine_archs=$(zk_wine_archs)
arch=${wine_archs%% *}

# Both DLLs go into the ready package folder; the demo runs one of them.
for each in x86 x64; do
  preset=$(zk_windows_preset "$each")
  cmake --preset "$preset" >/dev/null
  if [ "$each" = "$arch" ]; then
    cmake --build --preset "$preset" --target zkcoinst install_harness record_stub \
      restore_pass_driver zk_preserve_fixtures zk_fixture_component zkpkgcheck zklogcheck zkremove \
      >/dev/null
  else
    cmake --build --preset "$preset" --target zkcoinst >/dev/null
  fi
done
ZK_BUILD_DIR=$PWD/build/$(zk_windows_preset "$arch") ZK_WINE_ARCH=$arch ZK_SOURCE_DIR=$PWD \
  python3 scripts/demo.py
