"""The setup entry point as a setup program starts it: through Wine's rundll32
("rundll32 zkcoinst.dll,SetupEntryPoint SECTION"), each test in a prefix of its
own, with a reboot where the effect only shows at the next start."""

import os
import shutil
import subprocess
import time
import unittest

from e2e_support import WINE, PrefixTestCase, without_timestamps

FIXTURES = os.environ.get("ZK_SETUP_FIXTURES", "")
COMPONENT = os.environ.get("ZK_TEST_COMPONENT", "")

SYSTEM = "C:\\windows\\system32"
RUN_START = ("Start co-installer: [T]\r\n"
             "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n")
RUN_STOP = "Stop co-installer: [T]\r\n\r\n"
BANNER = ("   Marvanto Setup Extension DLL\r\n"
          "   ============================\r\n\r\n"
          "   Windows system directory: C:\\windows\\system32\r\n")
SECTION_HEAD = ("   Windows system directory: C:\\windows\\system32\r\n"
                "   Windows directory: C:\\windows\r\n"
                "   INI file to use: C:\\windows\\system32\\zkcoinst.ini\r\n"
                "   Section to register: %s\r\n")
REGISTERED_APPS = "   LaunchRegisteredApp:\r\n"
SHARED = "C:\\Program Files\\Common Files\\Marvshrd"


def fixture(name):
    return os.path.join(FIXTURES, name)


class SetupEntryThroughRundll32(PrefixTestCase):

    def write_ini(self, text):
        with open(os.path.join(self.prefix.system32, "zkcoinst.ini"), "w", newline="\r\n") as f:
            f.write(text)

    def entry(self, *section):
        result = self.prefix.run(["rundll32", "zkcoinst.dll,SetupEntryPoint"] + list(section))
        self.assertEqual(0, result.returncode, result.stderr)
        return result

    def runs(self):
        """The log's runs, each from its start line to its stop line."""
        text = without_timestamps(self.prefix.log() or "")
        parts = text.split(RUN_START)[1:]
        return [RUN_START + part for part in parts]

    def assert_in_order(self, text, parts):
        at = 0
        for part in parts:
            found = text.find(part, at)
            self.assertNotEqual(-1, found, "missing or out of order: %r\nin:\n%s" % (part, text))
            at = found + len(part)
        return at

    def test_one_call_writes_its_whole_run(self):
        shutil.copy(COMPONENT, os.path.join(self.prefix.system32, "zkentrycomp.dll"))
        self.write_ini("[Other]\n11,other.dll\n"
                       "[SetupCam]\n"
                       "11,zkentrycomp.dll\n"
                       "102,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ZkEntryFlag\n"
                       "103,NO_ROVudevid\n")
        self.entry("SetupCam")
        runs = self.runs()
        self.assertEqual(1, len(runs), runs)
        run = runs[0]
        component = SYSTEM + "\\zkentrycomp.dll"
        end = self.assert_in_order(run, [
            RUN_START + BANNER + SECTION_HEAD % "SetupCam" +
            "   File to register: %s\r\n" % component +
            "   Path to File to register: %s\r\n" % SYSTEM +
            "   File to register is a DLL or AX\r\n"
            "   Register DLL: file = %s\r\n" % component +
            "   CreateRegKeyHKLM: SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ZkEntryFlag \r\n"
            "   Install Module check. NO_ROVudevid\r\n"
            "   Will not Install ROVudevid.\r\n",
            # The preserve pass goes over its six files, then the registered
            # programs' step, which without a device only writes its heading.
            "   Processing zkWIAext.dll.\r\n", "   Processing ZKUSBSta.sys.\r\n",
            REGISTERED_APPS + RUN_STOP])
        self.assertEqual(len(run), end)

        # What the section asked for happened: regsvr32 ran the component's
        # DllRegisterServer, the value was set, and no monitor was installed.
        record = self.prefix.unix(component + ".ran")
        deadline = time.time() + 20
        while not os.path.exists(record) and time.time() < deadline:
            time.sleep(0.2)
        self.assertTrue(os.path.exists(record))
        self.assertEqual("0x1", self.prefix.reg_query(
            "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ZkEntryFlag"))
        self.assertIsNone(self.prefix.reg_query(
            "HKLM\\SYSTEM\\CurrentControlSet\\Services\\ZKUSBSta", "Start"))

    def test_the_driver_section_runs_during_installation(self):
        # The section named after the camera INF's install section runs in
        # DIF_INSTALLDEVICE pre-processing, before the protected-file pass.
        shutil.copy(COMPONENT, os.path.join(self.prefix.system32, "zkentrycomp.dll"))
        self.write_ini("[CamInstall]\n"
                       "11,zkentrycomp.dll\n"
                       "102,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ZkEntryFlag\n"
                       "103,NO_ROVudevid\n")
        self.prefix.stage_package()
        result = self.prefix.harness("C:\\camera\\zkcamera.inf", windows_version="winxp")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("DIF_INSTALLDEVICE -> 0xE0000226", result.stdout)
        log = without_timestamps(self.prefix.log())
        self.assert_in_order(log, [
            "   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------\r\n" +
            SECTION_HEAD % "CamInstall" +
            "   File to register: %s\\zkentrycomp.dll\r\n" % SYSTEM,
            "   CreateRegKeyHKLM: SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ZkEntryFlag \r\n"
            "   Install Module check. NO_ROVudevid\r\n"
            "   Will not Install ROVudevid.\r\n"
            "   Processing zkWIAext.dll.\r\n",
            "   DIF Code: DIF_INSTALLDEVICE (Post-processing)"])
        self.assertNotIn("Install bandwidth monitor.", log)
        self.assertEqual("0x1", self.prefix.reg_query(
            "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ZkEntryFlag"))
        record = self.prefix.unix(SYSTEM + "\\zkentrycomp.dll.ran")
        deadline = time.time() + 20
        while not os.path.exists(record) and time.time() < deadline:
            time.sleep(0.2)
        self.assertTrue(os.path.exists(record))

    def test_empty_section_name_and_calls_one_after_the_other(self):
        self.write_ini("[SetupCam]\n103,NO_ROVudevid\n")
        self.entry()
        self.entry("SetupCam")
        runs = self.runs()
        self.assertEqual(2, len(runs), runs)
        # No name: no section of that name, so the bandwidth monitor goes in.
        self.assert_in_order(runs[0], [
            RUN_START + BANNER + SECTION_HEAD % "" +
            "   Section  doesn't exist in INI file.\r\n"
            "   Install bandwidth monitor.\r\n",
            REGISTERED_APPS + RUN_STOP])
        self.assert_in_order(runs[1], [
            SECTION_HEAD % "SetupCam" + "   Install Module check. NO_ROVudevid\r\n",
            REGISTERED_APPS + RUN_STOP])
        self.assertEqual("0x3", self.prefix.reg_query(
            "HKLM\\SYSTEM\\CurrentControlSet\\Services\\ZKUSBSta", "Start"))

    def test_a_locked_protected_file_is_replaced_at_the_next_start(self):
        installed = SYSTEM + "\\ZKUI2.dll"
        shared = SHARED + "\\ZKUI2.dll"
        os.makedirs(self.prefix.unix(SHARED), exist_ok=True)
        shutil.copy(fixture("older.dll"), self.prefix.unix(installed))
        shutil.copy(fixture("newer.dll"), self.prefix.unix(shared))
        with open(fixture("newer.dll"), "rb") as f:
            newer = f.read()
        self.write_ini("[SetupCam]\n103,NO_ROVudevid\n")
        # The rename lines are added to the Windows directory's WinInit.ini.
        with open(self.prefix.unix("C:\\windows\\WinInit.ini"), "w", newline="\r\n") as f:
            f.write("[Settings]\nKeep=1\n")

        # A program holds the installed copy open, as one that uses it would.
        locker = os.path.join(self.prefix.root, "file_locker.exe")
        shutil.copy(fixture("file_locker.exe"), locker)
        ready = os.path.join(self.prefix.root, "locked")
        release = os.path.join(self.prefix.root, "release")
        with open(os.path.join(self.prefix.root, "locker.out"), "wb") as out:
            holder = subprocess.Popen(
                [WINE, self.prefix.windows(locker), installed, self.prefix.windows(ready),
                 self.prefix.windows(release)],
                env=self.prefix.env, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        try:
            deadline = time.time() + 60
            while not os.path.exists(ready) and time.time() < deadline:
                time.sleep(0.1)
            self.assertTrue(os.path.exists(ready), "the file could not be locked")
            self.entry("SetupCam")
        finally:
            open(release, "w").close()
            holder.wait(timeout=60)

        run = self.runs()[-1]
        self.assertIn("   Processing ZKUI2.dll.\r\n"
                      "   New file version 6.0.0.99.\r\n"
                      "   Previous file version 6.0.1.0.\r\n"
                      "   Restoring %s\r\n"
                      "   ERROR: Couldn't delete ZKUI2.dll. 0x00000020 - " % shared, run)
        # Outside the device installer the replacement waits in WinInit.ini.
        wininit = (self.prefix.read_bytes("C:\\windows\\WinInit.ini") or b"").decode("latin-1")
        lines = [line.rstrip("\r") for line in wininit.split("\n")]
        # The copy that moves in is staged beside the installed file, with a
        # spare for a start-up that carries the lines out twice.
        self.assertEqual(["[Settings]", "Keep=1", "[rename]", "NUL=" + installed,
                          installed + "=" + installed + ".zk1",
                          installed + ".zk1=" + installed + ".zk2"], lines, wininit)
        self.assertEqual(newer, self.prefix.read_bytes(installed + ".zk1"))
        self.assertIsNone(self.prefix.reg_query(
            "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
            "PendingFileRenameOperations"))
        self.assertNotEqual(newer, self.prefix.read_bytes(installed))

        self.prefix.reboot()
        self.assertEqual(newer, self.prefix.read_bytes(installed))


if __name__ == "__main__":
    unittest.main()
