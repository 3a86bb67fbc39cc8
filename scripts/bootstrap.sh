#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12: CMake, git (the
# release's time stamp and the clones of its reproducibility test), the host and
# the i686 and x86_64 MinGW-w64 compilers, 32-bit and 64-bit Wine and
# GoogleTest's sources.
# Idempotent: packages already present are not touched, and when everything is
# there nothing is run at all. Works as root or through sudo.
set -euo pipefail

packages=(
  cmake make g++ clang-format python3
  git
  clang libclang-rt-14-dev clang-tidy cppcheck
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  googletest
  wine wine64
  osslsigncode openssl
)
# 32-bit Wine runs the x86 DLL's Windows tests. A host whose package lists
# cannot serve the i386 packages runs those tests for x64 only, so a failed
# install of it is reported and the rest goes on.
optional=(wine32:i386)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

missing_optional=()
for p in "${optional[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing_optional+=("$p")
  fi
done

# An optional package that could not be installed is not tried again for a few
# hours, so that every script's bootstrap does not wait on the mirror.
optional_failed=${XDG_CACHE_HOME:-$HOME/.cache}/zk-bootstrap/optional-failed
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -gt 0 ] &&
  [ -n "$(find "$optional_failed" -mmin -360 2>/dev/null)" ]; then
  echo "bootstrap: ${missing_optional[*]} could not be installed lately; the Windows tests run for x64 only"
  exit 0
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  echo "bootstrap: everything is installed"
  exit 0
fi

echo "bootstrap: installing ${missing[*]} ${missing_optional[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails an index now and then: try again, and
# when one index still cannot be fetched, go on with the lists apt has; the
# install then says whether they serve.
attempts=4
[ ${#missing[@]} -eq 0 ] && attempts=1
for attempt in $(seq "$attempts"); do
  if as_root apt-get update -q; then
    break
  fi
  [ "$attempt" -eq "$attempts" ] && break
  echo "bootstrap: apt-get update failed (attempt $attempt)"
  sleep $((attempt * 15))
done
for attempt in 1 2 3; do
  if [ ${#missing[@]} -eq 0 ] ||
    as_root apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    break
  fi
  if [ "$attempt" -eq 3 ]; then
    echo "bootstrap: could not install ${missing[*]}" >&2
    exit 1
  fi
  sleep $((attempt * 20))
  as_root apt-get update -q || true
done
if [ ${#missing_optional[@]} -gt 0 ] &&
  ! as_root apt-get install -y -q --no-install-recommends "${missing_optional[@]}"; then
  echo "bootstrap: could not install ${missing_optional[*]}; the Windows tests run for x64 only" >&2
  mkdir -p "$(dirname "$optional_failed")" && touch "$optional_failed"
fi
