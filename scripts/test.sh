#!/usr/bin/env bash
# Sets everything up and runs every test: the Windows-free logic natively under
# AddressSanitizer and UBSan, static analysis, short fuzz runs, then both DLLs
# (x86 and x64): their static checks, their tests under Wine (unit tests of the
# Win32 layer and end-to-end installations), and last the release, built twice
# from clean clones, which must agree byte for byte.
#
# Where this host cannot run 32-bit programs, the x86 DLL is still built and
# checked, and the Wine tests run for x64 only. ZK_WINE_ARCHS=x86,x64 (or x64)
# chooses the architectures whose Wine tests run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
. cmake/wine-env.sh
wine_archs=$(zk_wine_archs)
echo "Windows tests under Wine: ${wine_archs// /, }"

status=0
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native || status=1

bash scripts/static_analysis.sh || status=1

# Short runs of the fuzz targets on their seed corpora.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz || status=1

for arch in x86 x64; do
  preset=$(zk_windows_preset "$arch")
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  if [[ " $wine_archs " == *" $arch "* ]]; then
    ctest --preset "$preset" || status=1
  else
    # Only what needs no Wine: the DLL's machine type, exports and imports.
    ctest --preset "$preset" -L static || status=1
  fi
done

# The release from two clean clones of this commit: the same bytes (no Wine).
bash tests/release/reproducible.sh || status=1

exit $status
