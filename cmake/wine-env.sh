# Wine for the project's scripts, sourced by bash scripts: which loader runs a
# 32-bit or a 64-bit program, the environment every Wine call gets, and a
# prefix boot that says why it failed.
#
#   zk_wine_use x86|x64       sets ZK_WINE (the loader) and WINEARCH, and the
#                             rest of the environment
#   zk_wine_arch_of FILE      sets ZK_PROGRAM_ARCH from a PE file's machine type
#   zk_wine_boot PREFIX       creates and boots PREFIX (WINEPREFIX is set to it);
#                             on failure prints why and returns 1
#   zk_can_run_32bit          true when this host runs 32-bit programs

# Debian's `wine` launcher takes the 32-bit loader whenever wine32 is
# installed, so a 64-bit prefix is driven through wine64 by name.
ZK_WINE32=${ZK_WINE32:-/usr/lib/wine/wine}
ZK_WINE64=${ZK_WINE64:-/usr/lib/wine/wine64}

zk_wine_use() {
  case "$1" in
    x86) ZK_WINE=$ZK_WINE32; export WINEARCH=win32; unset WINELOADER ;;
    x64) ZK_WINE=$ZK_WINE64; export WINEARCH=win64 WINELOADER=$ZK_WINE64 ;;
    *) echo "wine-env: unknown architecture '$1' (x86 or x64)" >&2; return 1 ;;
  esac
  export WINEDEBUG=${ZK_WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export DISPLAY=
}

zk_wine_arch_of() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  case "$machine" in
    8664) ZK_PROGRAM_ARCH=x64 ;;
    *) ZK_PROGRAM_ARCH=x86 ;;
  esac
}

zk_can_run_32bit() {
  "$ZK_WINE32" --version >/dev/null 2>&1
}

zk_wine_boot() {
  local prefix=$1 log="$1.boot.log"
  export WINEPREFIX=$prefix
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  if ! "$ZK_WINE" wineboot -i >"$log" 2>&1 </dev/null; then
    echo "wine: creating the $WINEARCH prefix $prefix failed; $log says:" >&2
    tail -n 5 "$log" >&2
    return 1
  fi
  wineserver -w
  if [ ! -f "$prefix/system.reg" ]; then
    echo "wine: $ZK_WINE wineboot left no registry in $prefix; $log says:" >&2
    tail -n 5 "$log" >&2
    return 1
  fi
  touch "$prefix/.zk-ready"
}

# The architectures whose Windows programs run here, "x86 x64" or "x64":
# ZK_WINE_ARCHS (e.g. "x86,x64" or "x64") when it is set, otherwise both where
# this host runs 32-bit programs and x64 alone where it does not (a kernel
# without IA-32 emulation), with one line on standard error that says so.
zk_wine_archs() {
  if [ -n "${ZK_WINE_ARCHS:-}" ]; then
    local arch list=""
    for arch in ${ZK_WINE_ARCHS//,/ }; do
      case "$arch" in
        x86|x64) list="$list $arch" ;;
        *) echo "ZK_WINE_ARCHS: unknown architecture '$arch' (x86 or x64)" >&2; return 1 ;;
      esac
    done
    echo $list
  elif zk_can_run_32bit; then
    echo "x86 x64"
  else
    echo "wine: this host cannot run 32-bit programs ($ZK_WINE32 --version fails): the" \
      "Windows tests run for x64 only; the x86 DLL is still built and checked" >&2
    echo "x64"
  fi
}

# The CMake preset of an architecture's Windows build.
zk_windows_preset() {
  case "$1" in
    x86) echo windows ;;
    x64) echo windows-x64 ;;
  esac
}
