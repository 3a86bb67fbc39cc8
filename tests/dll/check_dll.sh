#!/usr/bin/env bash
# Checks what zkcoinst.dll shows the loader:
#  - the machine type: i386 for the x86 build, AMD64 for the x64 build;
#  - exports: exactly ZkCoInstaller and SetupEntryPoint (those that exist so far),
#    by their plain names;
#  - imports: only Windows' own DLLs, only functions in the allowlists (functions
#    that Windows 2000 provides, and for x64 the names only 64-bit msvcrt has),
#    never a MinGW runtime DLL;
#  - the version resource: 11.70.1196.0, OriginalFilename zkcoinst.dll, and the
#    description that names the build's processor.
#
#   check_dll.sh OBJDUMP DLL x86|x64 ALLOWLIST[,ALLOWLIST...] EXPORT...
set -euo pipefail
objdump=$1 dll=$2 arch=$3 allowlists=$4
shift 4
expected_exports=$(printf '%s\n' "$@" | sort)
status=0

dump=$("$objdump" -p "$dll")

case "$arch" in
  x86) machine=014c bits=32bit ;;
  x64) machine=8664 bits=64bit ;;
  *) echo "FAIL: unknown architecture $arch"; exit 1 ;;
esac
# The PE header's Machine field: two bytes after "PE\0\0", whose offset is at 0x3c.
pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
found=$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')
if [ "$found" != "$machine" ]; then
  echo "FAIL: the machine type is 0x$found, not 0x$machine ($arch)"
  status=1
fi

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
if [ "$exports" != "$expected_exports" ]; then
  echo "FAIL: exports are:"; printf '  %s\n' $exports
  echo "expected:"; printf '  %s\n' $expected_exports
  status=1
fi

imports=$(printf '%s\n' "$dump" | awk '
  /DLL Name:/ { dll = toupper($3); next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll " " $3; next }
  /^ *$/ { }
' | sort -u)
IFS=, read -r -a lists <<<"$allowlists"
allowed=$(cat "${lists[@]}" | grep -v '^#' | awk 'NF { print toupper($1) " " $2 }' | sort -u)
unexpected=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed"))
if [ -n "$unexpected" ]; then
  echo "FAIL: imports outside the allowlists ($allowlists):"
  printf '  %s\n' "$unexpected"
  status=1
fi
runtime=$(printf '%s\n' "$dump" | grep -iE 'DLL Name: *(libstdc|libgcc|libwinpthread|api-ms-win-crt|ucrtbase)' || true)
if [ -n "$runtime" ]; then
  echo "FAIL: the DLL needs a runtime DLL: $runtime"
  status=1
fi

# The version resource: the fixed file information holds the four numbers of
# FileVersion and ProductVersion as 16-bit words; the strings are UTF-16.
hex=$(od -An -v -tx1 "$dll" | tr -d ' \n')
utf16() { printf '%s' "$1" | iconv -f ascii -t utf-16le | od -An -v -tx1 | tr -d ' \n'; }
# VS_FIXEDFILEINFO: signature FEEF04BD, struct version, then MS/LS words of both versions.
fixed="bd04effe00000100""46000b00""0000ac04""46000b00""0000ac04"
if [[ "$hex" != *"$fixed"* ]]; then
  echo "FAIL: the fixed version information is not 11.70.1196.0 for file and product"
  status=1
fi
for text in "OriginalFilename" "zkcoinst.dll" "FileVersion" "ProductVersion" "11.70.1196.0" \
            "Audio/Video Coinstaller for $bits"; do
  if [[ "$hex" != *"$(utf16 "$text")"* ]]; then
    echo "FAIL: the version resource lacks \"$text\""
    status=1
  fi
done

[ $status -eq 0 ] && echo "zkcoinst.dll ($arch): machine type, exports, imports and version resource are as they must be"
exit $status
