"""Checks that a DLL's .debug file takes an address back to its source line:
addresses at the start and in the middle of ZkCoInstaller and of
RestoreNewerFiles (the preserve floor's restore pass) resolve, through
addr2line, to the file that defines the function and to a line of its body.
The outermost frame counts, as code inlined from elsewhere names its own line
first.

    check_symbols.py PREFIX DEBUG_FILE SOURCE_DIR

PREFIX is the MinGW-w64 tool prefix (x86_64-w64-mingw32 or i686-w64-mingw32).
"""

import re
import subprocess
import sys

# The symbol (x86 decorates stdcall names and the C++ ones take a leading
# underscore) and the file that defines it.
FUNCTIONS = (
    (r"_?ZkCoInstaller(@\d+)?", "ZkCoInstaller", "src/entry/coinstaller_entry.cpp"),
    (r"_?_Z17RestoreNewerFilesP13DeviceContextb", "RestoreNewerFiles",
     "src/preserve/restore_pass.cpp"),
)
# The source tree as the build names it in debug information (-ffile-prefix-map).
MAPPED_SOURCE = "/zkcoinst/"


def body_lines(path, name):
    """The lines of the definition of NAME: from its name to the closing brace
    in the first column."""
    lines = open(path, encoding="utf-8").read().split("\n")
    for i, line in enumerate(lines):
        if re.search(r"\b%s\(" % name, line) and not line.rstrip().endswith(";"):
            for j in range(i, len(lines)):
                if lines[j] == "}":
                    return i + 1, j + 1
    return None


def main():
    prefix, debug_file, source_dir = sys.argv[1:4]
    nm = subprocess.run([prefix + "-nm", "--numeric-sort", debug_file], capture_output=True,
                        text=True, check=True).stdout.split("\n")
    code = [(int(f[0], 16), f[2]) for f in (line.split() for line in nm)
            if len(f) == 3 and f[1] in "Tt" and not f[2].startswith(".")]
    status = 0
    for symbol, name, source in FUNCTIONS:
        at = [i for i, (_, s) in enumerate(code) if re.fullmatch(symbol, s)]
        if len(at) != 1 or at[0] + 1 >= len(code):
            print("FAIL: %s: %d code symbols match %s" % (debug_file, len(at), symbol))
            status = 1
            continue
        start, end = code[at[0]][0], code[at[0] + 1][0]
        first, last = body_lines(source_dir + "/" + source, name)
        for address in (start, start + (end - start) // 2):
            out = subprocess.run([prefix + "-addr2line", "-i", "-e", debug_file, hex(address)],
                                 capture_output=True, text=True, check=True).stdout.split()
            where = out[-1] if out else "?"
            file, _, line = where.rpartition(":")
            number = int(line) if line.isdigit() else 0
            good = file == MAPPED_SOURCE + source and first <= number <= last
            print("%s %s+0x%x -> %s (%s lines %d-%d expected)%s"
                  % ("ok:" if good else "FAIL:", name, address - start, where,
                     MAPPED_SOURCE + source, first, last, "" if good else " in " + debug_file))
            status |= 0 if good else 1
    return status


if __name__ == "__main__":
    sys.exit(main())
