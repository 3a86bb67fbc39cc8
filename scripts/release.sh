#!/usr/bin/env bash
# Builds the release: both DLLs (x86, x64) with their symbols, the checkers for
# Linux and as x64 Windows programs, the example package ready to install, the
# reference and the changelog, into dist/zkcoinst-<version>.zip and
# dist/SHA256SUMS. The same commit gives the same bytes from any clone, in any
# folder, at any time: the build maps its paths and takes its time stamps from
# the commit (SOURCE_DATE_EPOCH, from `git log` unless set).
#
#   scripts/release.sh [--key KEY --cert CERT]
#
# With a key and its certificate, each DLL is signed (scripts/sign.sh DLL KEY
# CERT, which takes its signing time from SOURCE_DATE_EPOCH) before it goes
# into the zip and the package; a time stamp from a server
# (ZK_SIGN_TIMESTAMP_URL) differs from one signing to the next.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/release.sh [--key KEY --cert CERT]"; }
key="" cert=""
while [ $# -gt 0 ]; do
  case "$1" in
    --key) key=${2:?--key needs a file}; shift 2 ;;
    --cert) cert=${2:?--cert needs a file}; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
if { [ -n "$key" ] && [ -z "$cert" ]; } || { [ -z "$key" ] && [ -n "$cert" ]; }; then
  echo "release: --key and --cert go together" >&2
  exit 2
fi
if [ -n "$key" ] && [ ! -f scripts/sign.sh ]; then
  echo "release: scripts/sign.sh, which signs the DLLs, is not in this tree" >&2
  exit 2
fi

# The release needs the compilers alone (no Wine): the bootstrap runs when one
# is missing.
for tool in cmake g++ git i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix python3; do
  command -v "$tool" >/dev/null || { bash scripts/bootstrap.sh >/dev/null; break; }
done
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C

for preset in release-x86 release-x64 release-linux; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-x64/CMakeCache.txt)
stage=build/release-stage/zkcoinst-$version
rm -rf build/release-stage
for preset in release-x86 release-x64 release-linux; do
  cmake --install "build/$preset" --prefix "$stage" >/dev/null
done

if [ -n "$key" ]; then
  # Sign each DLL once; the package's copies are the signed files.
  for arch in x86 x64; do
    bash scripts/sign.sh "$stage/$arch/zkcoinst.dll" "$key" "$cert"
  done
  cp "$stage/x86/zkcoinst.dll" "$stage/package/camera/x86/zkcoinst.dll"
  cp "$stage/x64/zkcoinst.dll" "$stage/package/camera/amd64/zkcoinst.dll"
fi

# The package as zkpkgcheck sees it: the co-installer must run from every
# models section (warnings, such as an unsigned package's, are printed).
set +e
check=$("$stage/tools/linux/zkpkgcheck" "$stage/package/camera")
checked=$?
set -e
if [ $checked -gt 1 ] || grep -q "will not run" <<<"$check"; then
  printf '%s\n' "$check"
  echo "release: the example package is not ready to install" >&2
  exit 1
fi
grep -E "models sections? checked" <<<"$check"

mkdir -p dist
rm -f dist/zkcoinst-*.zip dist/SHA256SUMS
zip=dist/zkcoinst-$version.zip
python3 scripts/release_zip.py "$stage" "$zip"
python3 tests/release/check_version.py "$version" build/release-x64/generated/core/core/version_info.h \
  CHANGELOG.md --dll "$stage/x86/zkcoinst.dll" --dll "$stage/x64/zkcoinst.dll" --zip "$zip"
(cd dist && sha256sum "zkcoinst-$version.zip" > SHA256SUMS)
cat dist/SHA256SUMS
