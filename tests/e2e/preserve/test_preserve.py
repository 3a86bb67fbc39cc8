"""Newer shared copies of the protected files put in place: at once during an
installation, and, for files in use, by Windows at its next start, checked by
rebooting the test's own prefix."""

import os
import shutil
import unittest

from e2e_support import BIN_DIR, BUILD_DIR, TOOLS, PrefixTestCase

FIXTURES = os.path.join(BUILD_DIR, "tests", "win", "preserve")
SHARED = "C:\\Program Files\\Common Files\\Marvshrd"
SYSTEM = "C:\\windows\\system32"
PENDING_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"
WININIT = "C:\\windows\\WinInit.ini"


def fixture(name):
    with open(os.path.join(FIXTURES, name + ".dll"), "rb") as f:
        return f.read()


class PreserveTestCase(PrefixTestCase):

    def setUp(self):
        super().setUp()
        shutil.copy(os.path.join(BIN_DIR, "restore_pass_driver.exe"), self.prefix.unix(TOOLS))

    def put(self, name, windows_path):
        target = self.prefix.unix(windows_path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(os.path.join(FIXTURES, name + ".dll"), target)

    def write(self, windows_path, data):
        target = self.prefix.unix(windows_path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)

    def find(self, windows_path):
        """The bytes of a file, whatever the case of its name on disk."""
        folder = self.prefix.unix(windows_path.rsplit("\\", 1)[0])
        name = windows_path.rsplit("\\", 1)[1].lower()
        for entry in os.listdir(folder):
            if entry.lower() == name:
                with open(os.path.join(folder, entry), "rb") as f:
                    return f.read()
        return None

    def drive(self, *args):
        result = self.prefix.run([TOOLS + "\\restore_pass_driver.exe"] + list(args))
        self.assertEqual(0, result.returncode, result.stderr)
        return self.prefix.log()

    def pending(self):
        return self.prefix.reg_query(PENDING_KEY, "PendingFileRenameOperations")


class DuringInstallation(PreserveTestCase):

    def test_newer_shared_copy_replaces_the_installed_file(self):
        self.put("v6_0_0_99", SYSTEM + "\\ZKUI2.dll")
        self.put("v6_0_0_100", SHARED + "\\Camera\\ZKUI2.dll")
        self.put("v6_0_0_99", SHARED + "\\ZKCodec2.dll")
        self.put("v6_0_0_100", SYSTEM + "\\ZKCodec2.dll")
        self.prefix.stage_package()
        result = self.prefix.harness("C:\\camera\\zkcamera.inf", windows_version="winxp")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(fixture("v6_0_0_100"), self.find(SYSTEM + "\\ZKUI2.dll"))
        self.assertEqual(fixture("v6_0_0_100"), self.find(SYSTEM + "\\ZKCodec2.dll"))
        log = self.prefix.log()
        self.assertIn("   Processing ZKUI2.dll.\r\n"
                      "   New file version 6.0.0.99.\r\n"
                      "   Previous file version 6.0.0.100.\r\n"
                      "   Restoring " + SHARED + "\\Camera\\ZKUI2.dll\r\n"
                      "   Processing ZKUI2RC.dll.\r\n", log)
        # Pre-processing runs the pass before it starts the value-add program.
        self.assertLess(log.index("Processing ZKUSBSta.sys."), log.index("MediaSourceDirectory"))


def request(target, staged):
    """The rename-list request: the staged copy moved onto target, replacing it."""
    return "\\??\\" + staged + "\\0!\\??\\" + target + "\\0"


def wininit_lines(target, staged, spare):
    """The [rename] lines: the delete, the move in, and the spare's move."""
    return ("NUL=%s\r\n%s=%s\r\n%s=%s" % (target, target, staged, staged, spare)).encode()


class AtTheNextStart(PreserveTestCase):

    def test_file_in_use_is_replaced_through_the_rename_list(self):
        self.put("v6_0_0_99", SYSTEM + "\\ZKUI2.dll")
        self.put("v6_0_0_99", SYSTEM + "\\ZKUI2RC.dll")
        self.put("v6_0_0_100", SHARED + "\\ZKUI2.dll")
        self.put("v6_0_40000_0", SHARED + "\\Deep\\Er\\ZKUI2RC.dll")
        # Another program's pending move, stored without the list's closing
        # NUL: it must survive our requests and be carried out as well.
        self.write("C:\\e2e\\theirs.txt", b"their file")
        log = self.drive("--hold", SYSTEM + "\\ZKUI2.dll", "--hold", SYSTEM + "\\ZKUI2RC.dll",
                         "--seed-pending", "\\??\\C:\\e2e\\theirs.txt|!\\??\\C:\\e2e\\moved.txt")
        self.assertIn("   ERROR: Couldn't delete ZKUI2.dll. 0x00000020 - ", log)
        self.assertIn("   ERROR: Couldn't delete ZKUI2RC.dll. 0x00000020 - ", log)
        self.assertEqual(fixture("v6_0_0_99"), self.find(SYSTEM + "\\ZKUI2.dll"))
        # Their pair, then our two requests in the order of the rows, each
        # moving a checked copy staged beside the installed file.
        self.assertEqual(
            "\\??\\C:\\e2e\\theirs.txt\\0!\\??\\C:\\e2e\\moved.txt\\0" +
            request(SYSTEM + "\\ZKUI2.dll", SYSTEM + "\\ZKUI2.dll.zk1") +
            request(SYSTEM + "\\ZKUI2RC.dll", SYSTEM + "\\ZKUI2RC.dll.zk1")[:-2], self.pending())
        self.assertEqual(fixture("v6_0_0_100"), self.find(SYSTEM + "\\ZKUI2.dll.zk1"))
        self.assertIsNone(self.find(SHARED + "\\ZKUI2.dll.tmp"))

        self.prefix.reboot()
        self.assertEqual(fixture("v6_0_0_100"), self.find(SYSTEM + "\\ZKUI2.dll"))
        self.assertEqual(fixture("v6_0_40000_0"), self.find(SYSTEM + "\\ZKUI2RC.dll"))
        self.assertEqual(b"their file", self.find("C:\\e2e\\moved.txt"))
        self.assertIsNone(self.find("C:\\e2e\\theirs.txt"))
        # The shared copies stay; the staged copies were moved in.
        self.assertEqual(fixture("v6_0_0_100"), self.find(SHARED + "\\ZKUI2.dll"))
        self.assertIsNone(self.find(SYSTEM + "\\ZKUI2.dll.zk1"))
        self.assertIsNone(self.pending())

    def test_file_in_use_is_replaced_through_wininit(self):
        self.put("v6_0_0_99", SYSTEM + "\\ZKCodec2.dll")
        self.put("v6_0_0_100", SHARED + "\\ZKCodec2.dll")
        self.write("C:\\e2e\\old.txt", b"old")
        before = b"[rename]\r\nC:\\e2e\\new.txt=C:\\e2e\\old.txt\r\n[other]\r\nkey=value\r\n"
        self.write(WININIT, before)
        log = self.drive("--wininit", "--hold", SYSTEM + "\\ZKCodec2.dll")
        self.assertIn("   ERROR: Couldn't delete ZKCodec2.dll. 0x00000020 - ", log)
        target = SYSTEM + "\\ZKCodec2.dll"
        self.assertEqual(
            b"[rename]\r\nC:\\e2e\\new.txt=C:\\e2e\\old.txt\r\n" +
            wininit_lines(target, target + ".zk1", target + ".zk2") +
            b"\r\n[other]\r\nkey=value\r\n", self.find(WININIT))
        self.assertIsNone(self.pending())

        self.prefix.reboot()
        self.assertEqual(fixture("v6_0_0_100"), self.find(target))
        self.assertEqual(b"old", self.find("C:\\e2e\\new.txt"))
        # Nothing is left in the Windows folder under the name NULL.
        self.assertIsNone(self.find("C:\\windows\\NULL"))
        # The spare waits under the staged copy's name for a second start-up;
        # the next pass, finding the file in place, removes it.
        self.assertEqual(fixture("v6_0_0_100"), self.find(target + ".zk1"))
        self.drive("--wininit")
        self.assertIsNone(self.find(target + ".zk1"))
        self.assertEqual(fixture("v6_0_0_100"), self.find(target))

    def test_wininit_section_in_other_letters_or_none(self):
        # Windows reads the first section named rename in any case; a second
        # "[rename]" after "[Rename]" would never be read.
        cases = [
            (b"[boot]\r\nx=1\r\n", b"[boot]\r\nx=1\r\n[rename]\r\n", b""),
            (b"[Rename]\r\nC:\\e2e\\y.txt=C:\\e2e\\x.txt\r\n[boot]\r\n",
             b"[Rename]\r\nC:\\e2e\\y.txt=C:\\e2e\\x.txt\r\n", b"\r\n[boot]\r\n"),
        ]
        target = SYSTEM + "\\ZKUI2.dll"
        for before, head, tail in cases:
            with self.subTest(before=before):
                self.put("v6_0_0_99", target)
                self.put("v6_0_0_100", SHARED + "\\ZKUI2.dll")
                self.write("C:\\e2e\\x.txt", b"x")
                self.write(WININIT, before)
                self.drive("--wininit", "--hold", target)
                # A spare left by the case before was removed first: the
                # names start again at one.
                self.assertEqual(
                    head + wininit_lines(target, target + ".zk1", target + ".zk2") + tail,
                    self.find(WININIT))
                self.prefix.reboot()
                self.assertEqual(fixture("v6_0_0_100"), self.find(target))
                if b"x.txt" in before:
                    self.assertEqual(b"x", self.find("C:\\e2e\\y.txt"))

    def two_deferrals(self, wininit, other_copy):
        """Two runs before a restart that both find ZKUI2.dll in use: the second
        with the same shared copy, or with a newer one found in another folder.
        Returns the copy that must end in place."""
        target = SYSTEM + "\\ZKUI2.dll"
        self.put("v6_0_0_99", target)
        self.put("v6_0_0_100", SHARED + "\\ZKUI2.dll")
        if wininit:
            self.write(WININIT, b"[boot]\r\n")
        args = (["--wininit"] if wininit else []) + ["--hold", target]
        self.drive(*args)
        newest = "v6_0_0_100"
        if other_copy:
            newest = "v6_0_40000_0"
            self.put(newest, SHARED + "\\Deep\\ZKUI2.dll")
        self.drive(*args)

        # The same copy is listed once; a newer one gets a staged copy of its
        # own, listed after the first, and the listed copy is never written
        # again.
        if wininit:
            lines = wininit_lines(target, target + ".zk1", target + ".zk2")
            if other_copy:
                lines += b"\r\n" + wininit_lines(target, target + ".zk3", target + ".zk4")
            self.assertEqual(b"[boot]\r\n[rename]\r\n" + lines, self.find(WININIT))
        else:
            requests = request(target, target + ".zk1")
            if other_copy:
                requests += request(target, target + ".zk2")
            self.assertEqual(requests[:-2], self.pending())
        self.assertEqual(fixture("v6_0_0_100"), self.find(target + ".zk1"))

        self.prefix.reboot()
        # The file is there, and it is the newest copy.
        self.assertEqual(fixture(newest), self.find(target))
        if not wininit:
            self.assertIsNone(self.find(target + ".zk1"))
            self.assertIsNone(self.find(target + ".zk2"))
            self.assertIsNone(self.pending())

    def test_two_deferrals_of_one_copy_through_the_rename_list(self):
        self.two_deferrals(wininit=False, other_copy=False)

    def test_two_deferrals_of_two_copies_through_the_rename_list(self):
        self.two_deferrals(wininit=False, other_copy=True)

    def test_two_deferrals_of_one_copy_through_wininit(self):
        self.two_deferrals(wininit=True, other_copy=False)

    def test_two_deferrals_of_two_copies_through_wininit(self):
        self.two_deferrals(wininit=True, other_copy=True)

    def test_without_wininit_nothing_is_scheduled(self):
        self.put("v6_0_0_99", SYSTEM + "\\ZKUI2.dll")
        self.put("v6_0_0_100", SHARED + "\\ZKUI2.dll")
        log = self.drive("--wininit", "--hold", SYSTEM + "\\ZKUI2.dll")
        self.assertIn("   ERROR: Couldn't create backup file for \"C:\\windows\\WinInit.ini\" "
                      "(0x00000002).\r\n", log)
        self.assertIsNone(self.find(WININIT))
        self.prefix.reboot()
        self.assertEqual(fixture("v6_0_0_99"), self.find(SYSTEM + "\\ZKUI2.dll"))


if __name__ == "__main__":
    unittest.main()
