#!/usr/bin/env bash
# Static analysis: the formatting, cppcheck over the whole tree, clang-tidy (bugprone, cert,
# clang-analyzer) over the native build and over the Windows build's own files.
# Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
echo "clang-format: the tree follows .clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror || status=1

# The native build's configuration writes core/version_info.h (from the
# project's VERSION), which cppcheck reads too.
[ -f build/native/compile_commands.json ] || cmake --preset native >/dev/null
echo "cppcheck: src tools tests bench"
cppcheck --enable=warning,portability --library=googletest --library=windows --inline-suppr \
  --error-exitcode=1 --quiet --std=c++17 --language=c++ --suppress=missingIncludeSystem \
  -I src -I build/native/generated/core -I tools -I tests/win src tools tests bench || status=1

files=$(python3 - <<'PY'
import json
entries = json.load(open("build/native/compile_commands.json"))
print("\n".join(sorted({e["file"] for e in entries if "/googletest/" not in e["file"]})))
PY
)
echo "clang-tidy: $(echo "$files" | wc -l) files of the native build"
if ! echo "$files" | xargs -P2 -n4 clang-tidy -p build/native --quiet 2>/dev/null; then
  status=1
fi
# The Win32 layer builds only with MinGW: clang-tidy reads the x86 build's
# compile commands as clang for that target, over MinGW's own headers. By
# default it reads the DLL's and the tools' own files; ZK_TIDY_ALL=1 adds the
# Windows tests and benchmarks (clean as well, but twice as long again on two
# cores: GoogleTest under windows.h).
[ -f build/windows/compile_commands.json ] || cmake --preset windows >/dev/null
win_files=$(ZK_TIDY_ALL=${ZK_TIDY_ALL:-0} python3 - <<'PY'
import json, os
everything = os.environ["ZK_TIDY_ALL"] == "1"
native = {e["file"] for e in json.load(open("build/native/compile_commands.json"))}
entries = json.load(open("build/windows/compile_commands.json"))
def wanted(path):
    if "/googletest/" in path or path in native or not path.endswith(".cpp"):
        return False
    return everything or "/src/" in path or "/tools/" in path
print("\n".join(sorted({e["file"] for e in entries if wanted(e["file"])})))
PY
)
# cert-dcl16-c is off here: MinGW's __MSABI_LONG(x) pastes a lower-case 'l' onto
# the Win32 error constants (ERROR_SUCCESS ...), which no line of ours can mend.
mingw_args=(--extra-arg-before=--target=i686-w64-mingw32 --extra-arg-before=-nostdinc
  --checks=-cert-dcl16-c)
while read -r dir; do
  mingw_args+=(--extra-arg-before=-isystem "--extra-arg-before=$dir")
done < <(echo | i686-w64-mingw32-g++-posix -E -x c++ - -v 2>&1 |
  sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ ' | sed 's/^ *//')
echo "clang-tidy: $(echo "$win_files" | wc -l) files of the Windows build"
if ! echo "$win_files" | xargs -P2 -n4 clang-tidy -p build/windows --quiet "${mingw_args[@]}" 2>/dev/null; then
  status=1
fi
[ $status -eq 0 ] && echo "static analysis: clean"
exit $status
