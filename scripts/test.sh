#!/usr/bin/env bash
# Sets everything up and runs every test: the Windows-free logic natively under
# AddressSanitizer and UBSan, static analysis, short fuzz runs, then the DLL's
# tests under Wine (unit tests of the Win32 layer and end-to-end installations).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh

status=0
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native || status=1

bash scripts/static_analysis.sh || status=1

# Short runs of the fuzz targets on their seed corpora.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz || status=1

cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows || status=1

exit $status
