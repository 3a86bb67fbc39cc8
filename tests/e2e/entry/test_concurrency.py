"""The co-installer under concurrent use: several threads of one process each
drive whole installations through the co-installer entry, while rundll32
processes run the setup entry point on the same machine. Nothing may crash or
hang, every context and tracked block of the installing process must be given
back, and the shared log must hold only whole, separate runs: the log is opened
for exclusive use, so a run that could not open it is dropped, never torn."""

import os
import shutil
import subprocess
import time
import unittest

from e2e_support import (BITS_TEXT, CAMERA_HWIDS, IMAGE_CLASS, MEDIA_CLASS, TOOLS, PrefixTestCase,
                         without_timestamps)

PROGRAM = os.environ.get("ZK_CONCURRENT_INSTALLS", "")

THREADS = 4
INSTALLATIONS = 6  # per thread, through one device information set each
SETUP_RUNS = 12
SETUP_PARALLEL = 3
# At most 24 whole installation runs of about 2.2 KB and 12 setup runs of about
# 1.2 KB: the log stays below the 100 KiB at which an open empties it, so every
# run that got the log is still in it at the end.
BOUND_SECONDS = 75  # for the whole stress; well above what it takes

INI = ("[CamInstall]\n"
       "102,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ZkStressInstall\n"
       "[StressSetup]\n"
       "102,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ZkStressSetup\n"
       "103,NO_ROVudevid\n"
       # The web-update switch on for video devices: on Windows 7 every
       # installation then also asks for and gets DIF_FINISHINSTALL_ACTION.
       "[KESTR.DevType]\n"
       "Video=1\n")

HEADER = ["Tool Name: Audio/Video Coinstaller for %s (zkci11701196.dll)" % BITS_TEXT,
          "Tool Version: 11.70.1196.0 (debug)",
          "Log Format Version: 01",
          "",
          "Start Log File: [T]",
          ""]
RUN_START = ["Start co-installer: [T]",
             "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)"]
RUN_STOP = "Stop co-installer: [T]"

# The DIF lines of one installation, in the order of the calls: on Windows 7
# with DIF_FINISHINSTALL_ACTION, before Vista without it.
BEFORE_INSTALL = ["   Unhandled DIF Code: %3d -------------------------------------------" % code
                  for code in (23, 24, 21, 34, 32)]
PRE_PROCESSING = "   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------"
POST_PROCESSING = "   DIF Code: DIF_INSTALLDEVICE (Post-processing) ---------------------"
WIZARD_FINISH = "   DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL -----------------------"
FINISH_ACTION = "   DIF Code: DIF_FINISHINSTALL_ACTION --------------------------------"
RELEASE = "   DIF Code: DIF_DESTROYPRIVATEDATA ----------------------------------"
DIF_LINES = {
    "win7": BEFORE_INSTALL + [PRE_PROCESSING, POST_PROCESSING, WIZARD_FINISH, FINISH_ACTION,
                              RELEASE],
    "winxp": BEFORE_INSTALL + [PRE_PROCESSING, POST_PROCESSING, WIZARD_FINISH, RELEASE],
}
# Before Vista the web-update program is started at the release, so its lines
# follow the release's DIF line; on Windows 7 nothing does.
WEB_UPDATE_LINES = ("   LaunchKestrForDeviceClass>", "   ERROR: KESTR>", "   KESTR>")
AFTER_RELEASE = {"win7": (), "winxp": WEB_UPDATE_LINES}
SETUP_BANNER = "   Marvanto Setup Extension DLL"
SETUP_SECTION = "   Section to register: StressSetup"
INSTALL_SECTION = "   Section to register: CamInstall"
REGISTERED_APPS = "   LaunchRegisteredApp:"

CLASS_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
# Filter lists that the installations edit at once: other drivers' entries,
# and an orphaned filter of the package that pre-processing takes out.
PLANTED_FILTERS = [(CLASS_KEY + IMAGE_CLASS, "LowerFilters", ["ksthunk", "zkmvdrv"]),
                   (CLASS_KEY + MEDIA_CLASS, "LowerFilters", ["ksthunk"])]


def split_runs(text):
    """The runs of a log that starts with its header block: each run's message
    lines, between its start lines and its stop line. Raises AssertionError
    with the line number when the structure is broken: a run started inside
    another, a stop without a start, a text outside a run, a run not ended."""
    lines = without_timestamps(text).split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    if lines[:len(HEADER)] != HEADER:
        raise AssertionError("the log does not begin with its header block: %r" % lines[:6])
    runs = []
    current = None
    at = len(HEADER)
    while at < len(lines):
        line = lines[at]
        if line == RUN_START[0]:
            if current is not None:
                raise AssertionError("line %d: a run starts inside another run" % (at + 1))
            if lines[at + 1:at + 2] != RUN_START[1:]:
                raise AssertionError("line %d: start line without its binary line" % (at + 1))
            current = []
            at += 2
            continue
        if line == RUN_STOP:
            if current is None:
                raise AssertionError("line %d: stop line outside a run" % (at + 1))
            if lines[at + 1:at + 2] != [""]:
                raise AssertionError("line %d: stop line without its empty line" % (at + 1))
            runs.append(current)
            current = None
            at += 2
            continue
        if current is None:
            raise AssertionError("line %d: text outside a run: %r" % (at + 1, line))
        if line.startswith("Tool Name:"):
            raise AssertionError("line %d: header block inside the log (emptied?)" % (at + 1))
        # Messages are indented; the banner's empty line is the only bare one.
        if line and not line.startswith("   "):
            raise AssertionError("line %d: message without its indent: %r" % (at + 1, line))
        current.append(line)
        at += 1
    if current is not None:
        raise AssertionError("the last run has no stop line")
    return runs


def is_installation_run(run):
    """Installation runs have DIF lines, or at least the web-update lines that
    follow the release before Vista; setup entry runs have neither."""
    return any(line.startswith(("   Unhandled DIF Code:", "   DIF Code:") + WEB_UPDATE_LINES)
               for line in run)


def check_installation_run(run, version="win7"):
    """A run that got the log part-way through an installation holds the DIF
    lines from that point on, each once, and ends with the context's release
    (and before Vista the web-update lines that follow it)."""
    expected = DIF_LINES[version]
    if any(line in (SETUP_BANNER, SETUP_SECTION) for line in run):
        raise AssertionError("setup entry lines inside an installation run")
    dif = [line for line in run if line.startswith(("   DIF Code:", "   Unhandled DIF Code:"))]
    if dif:
        if dif != expected[len(expected) - len(dif):]:
            raise AssertionError("DIF lines are not the tail of one installation: %r" % dif)
        after = run[len(run) - run[::-1].index(RELEASE):]
    else:
        after = run  # the log was had only after the release's own line
    if any(not line.startswith(AFTER_RELEASE[version]) for line in after) or (
            not dif and not AFTER_RELEASE[version]):
        raise AssertionError("the run goes on after DIF_DESTROYPRIVATEDATA: %r" % after)
    # The installation's own section, never another's, in pre-processing.
    if PRE_PROCESSING in dif and run.count(INSTALL_SECTION) != 1:
        raise AssertionError("pre-processing without its one section run")


def check_setup_runs(runs):
    """Setup entry runs do the same each time: every one is the tail of the
    longest, which ends with the registered programs' heading."""
    longest = max(runs, key=len)
    if longest[-1] != REGISTERED_APPS:
        raise AssertionError("setup run does not end with %r: %r" % (REGISTERED_APPS, longest))
    for run in runs:
        if any(line.startswith("   DIF Code:") or line == INSTALL_SECTION for line in run):
            raise AssertionError("installation lines inside a setup entry run")
        if run != longest[len(longest) - len(run):]:
            raise AssertionError("setup run is not whole from where it got the log:\n%s" %
                                 "\n".join(run))


class LogRunStructure(unittest.TestCase):
    """The checker itself must see torn runs, or the stress proves nothing."""

    START = "Start co-installer: [Dec Tue 08 5:00:00 2026]\r\n" + RUN_START[1] + "\r\n"
    STOP = "Stop co-installer: [Dec Tue 08 5:00:01 2026]\r\n\r\n"
    HEAD = "\r\n".join(HEADER).replace("[T]", "[Dec Tue 08 5:00:00 2026]") + "\r\n"

    def log(self, *runs):
        return self.HEAD + "".join(self.START + "".join(line + "\r\n" for line in run) + self.STOP
                                   for run in runs)

    def test_broken_logs_are_refused(self):
        whole = DIF_LINES["win7"]
        tail = whole[-3:]
        cases = [
            ("run inside a run", self.HEAD + self.START + whole[0] + "\r\n" +
             self.log(tail)[len(self.HEAD):] + self.STOP),
            ("stop without start", self.log(whole) + self.STOP),
            ("no stop at the end", self.log(whole) + self.START + RELEASE + "\r\n"),
            ("header again", self.log(whole) + self.HEAD + self.log(tail)[len(self.HEAD):]),
            ("text outside a run", self.log(whole) + "stray\r\n"),
            ("no header", self.log(whole)[len(self.HEAD):]),
        ]
        for name, text in cases:
            with self.subTest(name):
                with self.assertRaises(AssertionError):
                    split_runs(text)
        self.assertEqual([whole, tail], split_runs(self.log(whole, tail)))

    def test_installation_runs_must_be_one_tail(self):
        win7 = DIF_LINES["win7"]
        xp = DIF_LINES["winxp"]
        kestr = "   LaunchKestrForDeviceClass> Video is on (1)"
        cases = [
            ("whole", "win7", BEFORE_INSTALL + [PRE_PROCESSING, INSTALL_SECTION] + win7[6:], True),
            ("from post-processing on", "win7", win7[6:], True),
            ("only the release", "win7", [RELEASE], True),
            ("web update after the release before Vista", "winxp", xp[6:] + [kestr], True),
            ("only the web update lines before Vista", "winxp", [kestr], True),
            ("only web update lines on Windows 7", "win7", [kestr], False),
            ("a code missing in the middle", "win7", win7[6:7] + win7[8:], False),
            ("two installations mixed", "win7", win7[6:] + win7[-2:], False),
            ("not ended by the release", "win7", win7[6:-1], False),
            ("messages after the release on Windows 7", "win7", win7[6:] + [kestr], False),
            ("setup lines inside", "win7", win7[7:8] + [SETUP_BANNER] + win7[8:], False),
            ("a second section run", "win7",
             [PRE_PROCESSING, INSTALL_SECTION, INSTALL_SECTION] + win7[6:], False),
        ]
        for name, version, run, good in cases:
            with self.subTest(name):
                runs = split_runs(self.log(run))
                if good:
                    check_installation_run(runs[0], version)
                else:
                    with self.assertRaises(AssertionError):
                        check_installation_run(runs[0], version)

    def test_setup_runs_must_be_tails_of_one_run(self):
        whole = [SETUP_BANNER, "", SETUP_SECTION, "   Processing zksf.dll.", REGISTERED_APPS]
        check_setup_runs([whole, whole[2:], whole[-1:]])
        for name, runs in [("middle missing", [whole, whole[:2] + whole[3:]]),
                           ("cut at the end", [whole, whole[:-1]]),
                           ("DIF line inside", [whole, [BEFORE_INSTALL[0]] + whole[-1:]])]:
            with self.subTest(name):
                with self.assertRaises(AssertionError):
                    check_setup_runs(runs)


@unittest.skipUnless(PROGRAM, "ZK_CONCURRENT_INSTALLS is not set")
class ConcurrentInstallationsAndSetupRuns(PrefixTestCase):

    def stress(self, version):
        with open(os.path.join(self.prefix.system32, "zkcoinst.ini"), "w",
                  newline="\r\n") as f:
            f.write(INI)
        self.prefix.stage_package()
        shutil.copy(PROGRAM, self.prefix.unix(TOOLS))
        self.prefix.set_windows_version("concurrent_installs.exe", version)
        for key, name, entries in PLANTED_FILTERS:
            self.prefix.reg_add(key, name, "REG_MULTI_SZ", "\\0".join(entries))

        args = [TOOLS + "\\concurrent_installs.exe", "--inf", "C:\\camera\\zkcamera.inf",
                "--threads", str(THREADS), "--installations", str(INSTALLATIONS),
                "--rundll32", str(SETUP_RUNS), "--parallel", str(SETUP_PARALLEL),
                "--section", "StressSetup", "--bound", str(BOUND_SECONDS)]
        for hwid in CAMERA_HWIDS:
            args += ["--hwid", hwid]
        began = time.time()
        try:
            # The program bounds its own threads and processes; this bound is
            # for a hang of the program as a whole.
            result = self.prefix.run(args, timeout=BOUND_SECONDS + 30)
        except subprocess.TimeoutExpired:
            self.fail("the stress program did not end within %d s" % (BOUND_SECONDS + 30))
        print("\n" + result.stdout.strip())
        print("stress took %.1f s" % (time.time() - began))
        self.assertNotIn("Unhandled exception", result.stderr)
        self.assertNotIn("Unhandled page fault", result.stderr)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertIn("stress: PASS", result.stdout)
        self.assertIn("installations: %d" % (THREADS * INSTALLATIONS), result.stdout)
        self.assertIn("rundll32 runs: %d started, %d exited cleanly, 0 hung" %
                      (SETUP_RUNS, SETUP_RUNS), result.stdout)
        self.assertIn("log open for exclusive reading: yes", result.stdout)

        log = self.prefix.log()
        self.assertIsNotNone(log)
        try:
            runs = split_runs(log)
            installs = [run for run in runs if is_installation_run(run)]
            setups = [run for run in runs if not is_installation_run(run)]
            for run in installs:
                check_installation_run(run, version)
            if setups:
                check_setup_runs(setups)
        except AssertionError as broken:
            self.fail("%s\n--- log ---\n%s" % (broken, without_timestamps(log)))
        total = THREADS * INSTALLATIONS
        print("log: %d of %d installation runs and %d of %d setup runs got the log; "
              "%d and %d were dropped" % (len(installs), total, len(setups), SETUP_RUNS,
                                          total - len(installs), SETUP_RUNS - len(setups)))
        self.assertGreaterEqual(len(runs), 1)
        self.assertLessEqual(len(installs), total)
        self.assertLessEqual(len(setups), SETUP_RUNS)

        # Both kinds of run did their work, whether or not they got the log.
        key = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
        self.assertEqual("0x1", self.prefix.reg_query(key, "ZkStressInstall"))
        self.assertEqual("0x1", self.prefix.reg_query(key, "ZkStressSetup"))

        # The lists were rewritten by threads that did not wait for one
        # another; whichever write came last, other drivers' entries are kept
        # and no entry stands twice.
        for key, name, entries in PLANTED_FILTERS:
            value = self.prefix.reg_query(key, name)
            self.assertIsNotNone(value, key)
            listed = [entry.lower() for entry in value.split("\\0") if entry]
            print("%s %s: %s" % (key.rsplit("\\", 1)[1], name, value))
            self.assertIn("ksthunk", listed, value)
            self.assertEqual(len(set(listed)), len(listed), value)

    def test_threads_and_setup_processes_on_windows_7(self):
        self.stress("win7")

    def test_threads_and_setup_processes_before_vista(self):
        self.stress("winxp")


if __name__ == "__main__":
    unittest.main()
