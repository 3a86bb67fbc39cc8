#!/usr/bin/env bash
# Runs a Windows program under Wine in the build folder's private prefix: a
# 32-bit prefix for a 32-bit program, a 64-bit one for a 64-bit program (the
# PE header's machine type decides).
#
#   wine-run.sh PROGRAM.exe [ARGS...]
#
# The prefix is ZK_WINEPREFIX, or "wineprefix" beside the program's build
# folder; it is created on first use (under a lock, so parallel tests wait for
# one another). ZK_WINVER (win2k, winxp, win2003, vista, win7, win98, nt40)
# sets the Windows version Wine reports to this program's file name.
#
# Wine's first process starts the prefix's services, and they keep the standard
# output of whoever started them. So the server is started here first, with its
# output going to a file, and kept alive for a while after the last program:
# a test runner reading the program's output through a pipe then sees it end.
set -euo pipefail

program=$1
shift

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
zk_wine_arch_of "$program"
zk_wine_use "$ZK_PROGRAM_ARCH"

if [ -z "${ZK_WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$program")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(cd "$(dirname "$program")" && pwd)
  ZK_WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX=$ZK_WINEPREFIX

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.zk-ready" ]; then
    rm -rf "$WINEPREFIX"
    zk_wine_boot "$WINEPREFIX" 9>&- || exit 1
  fi
  # Nothing started here may keep the lock's descriptor (9): a server that
  # inherited it would hold the lock for its whole life.
  # Keep one server (with the services) running for the prefix; a no-op when
  # it runs already.
  wineserver -p30 >/dev/null 2>&1 </dev/null 9>&- || true
  "$ZK_WINE" cmd /c exit >/dev/null 2>&1 </dev/null 9>&- || true
) 9>"$WINEPREFIX.lock"

if [ -n "${ZK_WINVER:-}" ]; then
  "$ZK_WINE" reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")" \
    /v Version /d "$ZK_WINVER" /f >/dev/null 2>&1 </dev/null
fi

exec "$ZK_WINE" "$program" "$@"
