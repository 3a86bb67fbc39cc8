"""Counts the system calls that zkcoinst.dll makes in one installation.

    python3 bench/call_counts.py [--dll LABEL=PATH]...   (ZK_BUILD_DIR, ZK_WINE_ARCH set)

bash bench/run.sh --against REV runs it with REV's DLL and this tree's. Each
DLL installs the example package once through the harness (Windows 7), in a
fresh prefix of its own, under WINEDEBUG=+pid,+loaddll,+relay. The trace goes
to a file in the prefix's folder, never a pipe (programs that Wine starts on
the way keep their standard error open, and one installation writes some
100 MB), and is read line by line.

A call counts when its return address lies in the DLL's image: from the
address the +loaddll line gives to that plus the PE header's SizeOfImage, and
in the process that loaded it. So the harness's own SetupAPI calls, the calls
SetupAPI makes on to other DLLs and the started programs' calls are left out;
the C runtime linked into the DLL is its own code and counts. Where the trace
names no load of the DLL the column counts every call of the harness process,
and a line says so.

ZK_KEEP_PREFIX=1 keeps the prefixes and their traces. The parser's test:
python3 -m unittest discover -s bench -p '*_test.py'
"""

import argparse
import collections
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_support import (ARCH, BIN_DIR, CAMERA_HWIDS, STUB_RECORD, TOOLS, WINE,  # noqa: E402
                         Prefix)

WINDOWS_VERSION = "win7"
MODULE = "zkcoinst.dll"

# The calls that cost an installation most under Wine (the driver records, the
# service manager, the mutex round trips of the allocator and the context
# registry), and those that read INI text or start programs.
CALLS = ["SetupDiGetDriverInfoDetailA", "SetupDiGetSelectedDriverA", "OpenSCManagerA",
         "WaitForMultipleObjectsEx", "ReleaseMutex", "GetPrivateProfileStringA",
         "SetupOpenInfFileA", "CreateProcessA", "ShellExecuteExA"]
# Printed only when some DLL makes them: earlier DLLs waited for their
# mutexes with these too, so a mutex round trip is not always one
# WaitForMultipleObjectsEx.
OPTIONAL_CALLS = ["WaitForMultipleObjects", "WaitForSingleObject", "WaitForSingleObjectEx"]


def image_size(path):
    """SizeOfImage of a PE file: the extent of its mapping from the load address."""
    with open(path, "rb") as f:
        data = f.read(4096)
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("%s is not a PE file" % path)
    # SizeOfImage sits 56 bytes into the optional header in PE32 and PE32+.
    (size,) = struct.unpack_from("<I", data, pe_offset + 24 + 56)
    return size


def _thread_prefix(line):
    """'PID:TID:rest' (or 'TID:rest' without +pid) -> (pid or None, rest)."""
    first = line.find(":")
    second = line.find(":", first + 1)
    head = line[:first]
    if first <= 0 or not _is_hex(head):
        return None, None
    middle = line[first + 1:second]
    if second > first and _is_hex(middle):
        return head, line[second + 1:]
    return None, line[first + 1:]


def _is_hex(text):
    return bool(text) and all(c in "0123456789abcdefABCDEF" for c in text)


def _module_of(quoted_path):
    """'L"C:\\\\windows\\\\system32\\\\zkcoinst.dll"' -> 'zkcoinst.dll'"""
    path = quoted_path.strip()
    if path.startswith('L"'):
        path = path[2:]
    path = path.rstrip('"')
    return path.replace("\\\\", "\\").rsplit("\\", 1)[-1].lower()


class RelayCounter:
    """Counts the calls of a relay trace by function name, fed one line at a
    time: those that return into MODULE's image (`own`) and every call of the
    first process in the trace (`first_process`), the fallback when the trace
    names no load of the module."""

    def __init__(self, module, size):
        self.module = module.lower()
        self.size = size
        self.base = {}  # pid -> load address of the module while it is loaded
        self.loaded = False
        self.first_pid = None
        self.own = collections.Counter()
        self.first_process = collections.Counter()

    def feed(self, line):
        pid, rest = _thread_prefix(line)
        if rest is None:
            return
        if self.first_pid is None:
            self.first_pid = pid
        if rest.startswith("Call "):
            self._call(pid, rest)
        elif rest.startswith("trace:loaddll:"):
            self._loaddll(pid, rest)

    def _call(self, pid, rest):
        # "Call KERNEL32.ReleaseMutex(00000040) ret=6b345678"; "Call PE DLL (...)"
        # and other entry-point lines have no "module.function(".
        open_paren = rest.find("(")
        name = rest[5:open_paren]
        if open_paren < 0 or " " in name or "." not in name:
            return
        function = name.rsplit(".", 1)[1]
        if pid == self.first_pid:
            self.first_process[function] += 1
        base = self.base.get(pid)
        at = rest.rfind(" ret=")
        if base is None or at < 0:
            return
        try:
            ret = int(rest[at + 5:].strip(), 16)
        except ValueError:
            return
        if base <= ret < base + self.size:
            self.own[function] += 1

    def _loaddll(self, pid, rest):
        # "trace:loaddll:build_module Loaded L"C:\\...\\zkcoinst.dll" at 6A2C0000: native"
        # "trace:loaddll:free_modref Unloaded module L"C:\\...\\zkcoinst.dll" : native"
        if " Loaded L\"" in rest:
            path, _, tail = rest.split(" Loaded ", 1)[1].rpartition(" at ")
            if _module_of(path) == self.module:
                try:
                    self.base[pid] = int(tail.split(":", 1)[0], 16)
                    self.loaded = True
                except ValueError:
                    pass
        elif " Unloaded module L\"" in rest:
            path = rest.split(" Unloaded module ", 1)[1].rsplit(" : ", 1)[0]
            if _module_of(path) == self.module:
                self.base.pop(pid, None)

    def counts(self):
        """The module's own calls, or the first process's when no load was seen."""
        return self.own if self.loaded else self.first_process


def count_installation(index, dll):
    """One installation of the example package with DLL in a fresh prefix;
    returns the RelayCounter of its trace."""
    prefix = Prefix("callcounts%d" % index)
    keep = bool(os.environ.get("ZK_KEEP_PREFIX"))
    try:
        prefix.install_tools()
        shutil.copy(dll, os.path.join(prefix.system32, MODULE))
        package = prefix.stage_package()
        prefix.set_windows_version("install_harness.exe", WINDOWS_VERSION)
        args = [TOOLS + "\\install_harness.exe", "--inf", package + "\\zkcamera.inf",
                "--class", "Image", "--dll", "C:\\windows\\system32\\" + MODULE]
        for hwid in CAMERA_HWIDS:
            args += ["--hwid", hwid]
        env = dict(prefix.env)
        env["WINEDEBUG"] = "+pid,+loaddll,+relay"
        env["ZK_STUB_RECORD"] = STUB_RECORD
        trace_path = os.path.join(prefix.root, "relay.trace")
        out_path = os.path.join(prefix.root, "harness.out")
        with open(out_path, "wb") as out, open(trace_path, "wb") as trace:
            status = subprocess.run([WINE] + args, env=env, cwd=prefix.root,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=trace,
                                    timeout=1800, check=False).returncode
        if status != 0:
            with open(out_path, "rb") as out:
                tail = out.read().decode("latin-1").strip().splitlines()[-5:]
            raise SystemExit("call counts: the installation with %s failed (%s):\n  %s"
                             % (dll, status, "\n  ".join(tail)))
        counter = RelayCounter(MODULE, image_size(dll))
        with open(trace_path, "rb") as trace:
            for raw in trace:
                counter.feed(raw.decode("latin-1"))
        if keep:
            print("(trace kept: %s)" % trace_path)
        return counter
    finally:
        prefix.close(keep=keep)


def main():
    parser = argparse.ArgumentParser(description="Counts zkcoinst.dll's calls in one installation")
    parser.add_argument("--dll", action="append", metavar="LABEL=PATH",
                        help="a DLL to count (repeatable); default: this build's")
    options = parser.parse_args()
    dlls = []
    for item in options.dll or ["zkcoinst.dll (this tree)=" + os.path.join(BIN_DIR, MODULE)]:
        label, sep, path = item.partition("=")
        if not sep or not path:
            parser.error("--dll takes LABEL=PATH, not %r" % item)
        dlls.append((label, path))

    counters = [count_installation(i, path) for i, (_, path) in enumerate(dlls)]
    rows = CALLS + [c for c in OPTIONAL_CALLS if any(k.counts()[c] for k in counters)]
    width = max(len(label) for label, _ in dlls) + 2
    print("Calls in one installation, %s build, Windows 7 (Wine, WINEDEBUG=+relay): those "
          "returning into %s's image" % (ARCH, MODULE))
    print("%-28s" % "call" + "".join("%*s" % (width, label) for label, _ in dlls))
    for row in rows:
        print("%-28s" % row + "".join("%*d" % (width, k.counts()[row]) for k in counters))
    print("%-28s" % "all calls" + "".join("%*d" % (width, sum(k.counts().values()))
                                          for k in counters))
    for (label, _), counter in zip(dlls, counters):
        if not counter.loaded:
            print("%s: the trace names no load of %s; its column counts every call of the "
                  "harness process" % (label, MODULE))
    return 0


if __name__ == "__main__":
    sys.exit(main())
