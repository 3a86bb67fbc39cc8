#!/usr/bin/env bash
# Static analysis: the formatting, cppcheck over the whole tree, clang-tidy (bugprone, cert,
# clang-analyzer) over the native build. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
echo "clang-format: the tree follows .clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror || status=1

echo "cppcheck: src tools tests bench"
cppcheck --enable=warning,portability --library=googletest --library=windows --inline-suppr \
  --error-exitcode=1 --quiet --std=c++17 --language=c++ --suppress=missingIncludeSystem \
  -I src -I tools -I tests/win src tools tests bench || status=1

[ -f build/native/compile_commands.json ] || cmake --preset native >/dev/null
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
[ $status -eq 0 ] && echo "static analysis: clean"
exit $status
