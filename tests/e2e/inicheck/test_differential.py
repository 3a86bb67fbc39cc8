"""The checker against the DLL: generated zkcoinst.ini files (ini_generator)
run through zkcoinst.dll under Wine, by SetupEntryPoint or a device
installation, and through zkinicheck, for one Windows version each; what the
DLL did must be what the checker's report says (differential_model), but for
the differences the reference lists with their reasons ("Where the checker
and the DLL under Wine differ"), each of which a classifier here recognises.

ZK_DIFFERENTIAL_FILES (default 200) sets how many files, ZK_DIFFERENTIAL_SEED
(default 23) which ones: ZK_DIFFERENTIAL_FILES=5000 runs thousands. A
disagreement prints the file and both sides (the first ZK_DIFFERENTIAL_SHOWN,
default 5).
"""

import os
import re
import shutil
import time
import unittest

import e2e_support
from e2e_support import ARCH, BIN_DIR, CAMERA_HWIDS, SOURCE_DIR, PrefixTestCase
from differential_model import (CLASSES, FILTER_LISTS, KESTR, SERVICES, Machine,
                                differences, observe, predict)
import ini_generator
from ini_generator import (SANDBOX, SANDBOX_KEYS, SANDBOX_VALUES, STATIC_FILES,
                           STUB_PROGRAMS, SYSTEM, TOGGLED_FILES, VERSIONS, WINDOWS)

DRIVER = os.environ.get("ZK_DIFFERENTIAL_DRIVER", "")
FILES = int(os.environ.get("ZK_DIFFERENTIAL_FILES", "200"))
SEED = int(os.environ.get("ZK_DIFFERENTIAL_SEED", "23"))
# How many disagreements are printed in full.
SHOWN = int(os.environ.get("ZK_DIFFERENTIAL_SHOWN", "5"))
CASES = "C:\\zkdiff\\cases"
INF_DIR = "C:\\zkdiff\\inf"
REFERENCE = os.path.join(SOURCE_DIR, "docs", "reference.md")
KNOWN_HEADING = "#### Where the checker and the DLL under Wine differ"

INF = """[Version]
Signature="$WINDOWS NT$"
Class=%(name)s
ClassGuid=%(guid)s
Provider=%%Mfg%%
DriverVer=01/15/2008,1.2.30.400

[Manufacturer]
%%Mfg%%=Models,NTx86,NTamd64

[Models]
%%Desc%%=CamInstall,USB\\VID_1BCF&PID_2C6A&MI_00

[Models.NTx86]
%%Desc%%=CamInstall,USB\\VID_1BCF&PID_2C6A&MI_00

[Models.NTamd64]
%%Desc%%=CamInstall,USB\\VID_1BCF&PID_2C6A&MI_00

[CamInstall.NT]
AddReg=CamInstall.AddReg

[CamInstall.NT.Services]
AddService=,0x00000002

[CamInstall.NTamd64]
AddReg=CamInstall.AddReg

[CamInstall.NTamd64.Services]
AddService=,0x00000002

[CamInstall.AddReg]
HKR,,ZkDifferential,,1

[Strings]
Mfg="Zk differential test"
Desc="Zk differential test camera"
"""
INF_CLASSES = {"Image": ("Image", "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"),
               "Media": ("MEDIA", "{4D36E96C-E325-11CE-BFC1-08002BE10318}")}


# -- the differences the reference lists -------------------------------------------

def _fold_ascii(name):
    return "".join(c.lower() if c < "\x80" else c for c in name)


def _fold_1252(name):
    return "".join(chr(ord(c) + 0x20) if "\xc0" <= c <= "\xde" and c != "\xd7" else c.lower()
                   for c in name)


def _headers(case):
    lines = (line.strip(" \t") for line in re.split(r"[\r\n]+", case.text))
    return [line[1:line.rfind("]")].strip(" \t") for line in lines
            if line.startswith("[") and "]" in line]


# Which files fall into each kind the reference lists.
KNOWN_DIFFERENCES = {
    # Windows takes a UTF-8 mark for three characters of the first line; Wine skips it.
    "utf8-mark": lambda case: case.encoding == "utf8",
    # Windows finds no section in big-endian UTF-16; Wine reads it.
    "utf16-big-endian": lambda case: case.encoding == "utf16be",
    # Windows 98 and NT 4.0 read no UTF-16 file; Wine reads it whatever it reports.
    "utf16-before-2000": lambda case: case.encoding == "utf16le" and case.version in ("98",
                                                                                      "nt4"),
    # Windows compares accented letters without regard to case; Wine only ASCII ones.
    "accented-case": lambda case: any(_only_windows_matches(h, case.section)
                                      for h in _headers(case)),
}


def _only_windows_matches(header, name):
    return _fold_1252(header) == _fold_1252(name) and _fold_ascii(header) != _fold_ascii(name)


def wine_view(case):
    """The file of CASE as Wine reads it, written so that Windows reads it alike: the
    text Wine decodes, in UTF-16LE with its mark (in ANSI for Windows 98 and NT
    4.0), and headers that only Windows' case rules match renamed. The
    checker's report on it must agree with the DLL."""
    if case.encoding in ("ansi", "utf16le-nomark"):
        text = case.ini.decode("latin-1")

        def encode(t):
            return t.encode("latin-1")
    else:
        mark = 3 if case.encoding == "utf8" else 2
        codec = {"utf8": "utf-8", "utf16le": "utf-16-le", "utf16be": "utf-16-be"}
        text = case.ini[mark:].decode(codec[case.encoding])

        def encode(t):
            if case.version in ("98", "nt4"):
                return t.encode("cp1252", errors="replace")
            return b"\xff\xfe" + t.encode("utf-16-le")
    parts = re.split(r"(\r\n|\r|\n)", text)
    for n, line in enumerate(parts):
        stripped = line.strip(" \t")
        if stripped.startswith("[") and "]" in stripped:
            name = stripped[1:stripped.rfind("]")].strip(" \t")
            if _only_windows_matches(name, case.section):
                parts[n] = line.replace(name, name + "~", 1)
    return encode("".join(parts))


def listed_differences():
    """The names of the reference's list of known differences."""
    with open(REFERENCE, encoding="utf-8") as f:
        text = f.read()
    start = text.index(KNOWN_HEADING)
    end = text.find("\n#", start + len(KNOWN_HEADING))
    return re.findall(r"^\| `([a-z0-9-]+)` \|", text[start:end if end > 0 else None], re.M)


# -- the machine ---------------------------------------------------------------------

def case_script(case, folder):
    """The driver's lines for CASE: the machine reset, the checker's arguments, the run."""
    lines = ["rmfile " + name for name in TOGGLED_FILES]
    lines += ["mkfile " + name for name in case.present]
    lines += ["regtree " + SANDBOX] + ["regkey " + key for key in SANDBOX_KEYS]
    lines += ["regdword %s\t%s" % value for value in SANDBOX_VALUES]
    lines += ["regtree " + SERVICES + service for service in ("ZKUSBSta", "ZkClsUpr")]
    lines += ["regdel %s%s\t%s" % (CLASSES, guid, value) for guid, value, _ in FILTER_LISTS]
    checker = ["--windows", case.version, "--windows-dir", WINDOWS, "--system-dir", SYSTEM,
               "--section", case.section, folder + "\\zkcoinst.ini"]
    lines += ["check " + argument for argument in checker] + ["checkrun checker.txt"]
    if any(applies(case) for applies in KNOWN_DIFFERENCES.values()):
        lines += ["check " + argument for argument in checker[:-1]]
        lines += ["check " + folder + "\\zkcoinst-wine.ini", "checkrun checker-wine.txt"]
    if case.mode == "install":
        lines.append("install %s\\%s.inf\t%s\t%s" % (INF_DIR, case.setup_class.lower(),
                                                    case.setup_class, "\t".join(CAMERA_HWIDS)))
    else:
        lines.append("entry " + case.section)
    lines += ["dump " + SANDBOX] + ["dump " + SERVICES + s for s in ("ZKUSBSta", "ZkClsUpr")]
    lines += ["dumpvalue %s%s\t%s" % (CLASSES, guid, value) for guid, value, _ in FILTER_LISTS]
    return ("\n".join(lines) + "\n").encode("latin-1")


def shown(data):
    """Bytes as a reader can see them: lines, printable text, the rest escaped."""
    text = data.decode("latin-1").replace("\r\n", "\n")
    return "".join(c if " " <= c <= "~" or c == "\n" else
                   {"\r": "\\r", "\t": "\\t"}.get(c, "\\x%02x" % ord(c)) for c in text)


class CheckerAgainstTheDll(PrefixTestCase):

    def setUp(self):
        super().setUp()
        prefix = self.prefix
        prefix.install_stub_as(SYSTEM + "\\regsvr32.exe")
        prefix.install_stub_as(KESTR)
        for program in STUB_PROGRAMS:
            prefix.install_stub_as(program)
        for name in STATIC_FILES:
            os.makedirs(os.path.dirname(prefix.unix(name)), exist_ok=True)
            open(prefix.unix(name), "wb").close()
        os.makedirs(prefix.unix(INF_DIR), exist_ok=True)
        for setup_class, (name, guid) in INF_CLASSES.items():
            with open(prefix.unix(INF_DIR + "\\" + setup_class.lower() + ".inf"), "w",
                      newline="\r\n") as f:
                f.write(INF % {"name": name, "guid": guid})
        e2e_support.add_shipped_class_keys(prefix)
        volume = CLASSES + FILTER_LISTS[2][0]
        prefix.reg_add("HKLM\\" + volume, "Class", "REG_SZ", "Volume")

    def run_driver(self, version, cases):
        """Runs CASES in one driver process that Wine tells it runs on VERSION."""
        wine_name = dict((v[0], v[1]) for v in VERSIONS)[version]
        program = "differential_driver_%s.exe" % version
        shutil.copy(DRIVER, self.prefix.unix("C:\\zkdiff\\" + program))
        self.prefix.set_windows_version(program, wine_name)
        listing = "C:\\zkdiff\\cases-%s.txt" % version
        with open(self.prefix.unix(listing), "wb") as f:
            f.write("".join("%s\\%04d\r\n" % (CASES, c.index) for c in cases).encode())
        overrides = self.prefix.env["WINEDLLOVERRIDES"] + ";regsvr32.exe=n"
        result = self.prefix.run(["C:\\zkdiff\\" + program, listing], timeout=1800,
                                 extra_env={"WINEDLLOVERRIDES": overrides})
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("windows %s\r\n" % ini_generator.VERSION_NUMBERS[version], result.stdout,
                      "Wine's %s is not Windows %s to this driver" % (wine_name, version))

    def read(self, case, name):
        data = self.prefix.read_bytes("%s\\%04d\\%s" % (CASES, case.index, name))
        return data if data is not None else b""

    def test_the_checker_predicts_what_the_dll_does(self):
        started_at = time.time()
        versions = [v[0] for v in VERSIONS]
        cases = [ini_generator.generate(SEED, n, versions) for n in range(FILES)]
        for case in cases:
            folder = "%s\\%04d" % (CASES, case.index)
            os.makedirs(self.prefix.unix(folder), exist_ok=True)
            with open(self.prefix.unix(folder + "\\zkcoinst.ini"), "wb") as f:
                f.write(case.ini)
            with open(self.prefix.unix(folder + "\\case.txt"), "wb") as f:
                f.write(case_script(case, folder))
            with open(self.prefix.unix(folder + "\\zkcoinst-wine.ini"), "wb") as f:
                f.write(wine_view(case))
        for version in versions:
            group = [c for c in cases if c.version == version]
            if group:
                self.run_driver(version, group)

        predictions = {}
        for case in cases:
            report = self.read(case, "checker.txt").decode("latin-1")
            predictions[case.index] = (report, predict(case, report, Machine(case)))
        # The DLL does not wait for what it starts: wait for every predicted start.
        deadline = time.time() + 60
        for case in cases:
            wanted = sum(predictions[case.index][1].starts.values()) + \
                predictions[case.index][1].kestr_starts
            while time.time() < deadline and \
                    self.read(case, "started.txt").count(b"\r\n") < wanted:
                time.sleep(0.2)
        time.sleep(1)

        listed = listed_differences()
        self.assertEqual(sorted(KNOWN_DIFFERENCES), sorted(listed),
                         "the classifiers here and the reference's list must name the same "
                         "differences")
        # Wine's process creation now and then fails with ERROR_INTERNAL_ERROR
        # (1359) on a loaded machine, which no Windows does for a program that
        # is there: such a file is run once more.
        flaky = [c for c in cases if b" (1359)" in self.read(c, "zkcoinst.log")]
        for case in flaky:
            for name in ("zkcoinst.log", "registry.txt", "started.txt", "result.txt"):
                path = self.prefix.unix("%s\\%04d\\%s" % (CASES, case.index, name))
                if os.path.exists(path):
                    os.remove(path)
        for version in versions:
            group = [c for c in flaky if c.version == version]
            if group:
                self.run_driver(version, group)
        if flaky:
            time.sleep(3)
        agreed = 0
        known = {}
        failures = []
        for case in cases:
            report, predicted = predictions[case.index]
            found = observe(case, self.read(case, "zkcoinst.log"), self.read(case, "registry.txt"),
                            self.read(case, "started.txt"), self.read(case, "result.txt"))
            parted = differences(predicted, found, case.mode == "install")
            if not parted:
                agreed += 1
                continue
            names = [name for name, applies in KNOWN_DIFFERENCES.items() if applies(case)]
            if names:
                # Set aside, the difference must be all there is.
                report = self.read(case, "checker-wine.txt").decode("latin-1")
                parted = differences(predict(case, report, Machine(case)), found,
                                     case.mode == "install")
                if not parted:
                    for name in names:
                        known[name] = known.get(name, 0) + 1
                    continue
            failures.append(self.describe(case, report, parted, names))
        elapsed = time.time() - started_at
        print("\n%d files (seed %d, %s): %d agree, %d differ as listed (%s), %d disagree; %.0f s"
              "%s" % (len(cases), SEED, ARCH, agreed, sum(known.values()),
                      ", ".join("%s %d" % item for item in sorted(known.items())) or "none",
                      len(failures), elapsed,
                      "; run again after a failed process start: %s" %
                      ", ".join(str(c.index) for c in flaky) if flaky else ""))
        for failure in failures[:SHOWN]:
            print("\n" + failure)
        self.assertEqual(0, len(failures), "%d of %d files disagree (the first ones above)" %
                         (len(failures), len(cases)))

    def describe(self, case, report, parted, names):
        lines = ["file %d (%s, Windows %s, %s%s, %s encoding%s):" % (
            case.index, case.mode, case.version, "section " + repr(case.section),
            ", " + case.setup_class + " device" if case.mode == "install" else "",
            case.encoding, "; also with %s set aside" % ", ".join(names) if names else ""),
            shown(case.ini), "present: " + ", ".join(case.present)]
        for name, ours, theirs in parted:
            if isinstance(ours, list) and isinstance(theirs, list):
                lines.append("%s differs (- checker only, + DLL only):" % name)
                lines += ["  - %r" % (item,) for item in ours if item not in theirs]
                lines += ["  + %r" % (item,) for item in theirs if item not in ours]
                if all(item in theirs for item in ours) and all(i in ours for i in theirs):
                    lines.append("  (the same items in another order or number)")
            else:
                lines.append("%s differs: checker %r, DLL %r" % (name, ours, theirs))
        lines.append("zkinicheck said:\n" + report)
        log = self.read(case, "zkcoinst.log")
        lines.append("the DLL logged:\n" + shown(log))
        return "\n".join(lines)


if __name__ == "__main__":
    unittest.main()
