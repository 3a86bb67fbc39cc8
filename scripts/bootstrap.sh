#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12: CMake, the host and
# the i686 and x86_64 MinGW-w64 compilers, 32-bit and 64-bit Wine and
# GoogleTest's sources.
# Idempotent: packages already present are not touched, and when everything is
# there nothing is run at all. Works as root or through sudo.
set -euo pipefail

packages=(
  cmake make g++ clang-format python3
  clang libclang-rt-14-dev clang-tidy cppcheck
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  googletest
  wine wine32:i386 wine64
  osslsigncode openssl
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: everything is installed"
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync serves an index whose size does not match
# its release file for a while; a later try gets a whole one.
for try in 1 2 3; do
  if as_root apt-get update -q; then
    break
  fi
  [ "$try" -eq 3 ] || sleep 30
done
as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
