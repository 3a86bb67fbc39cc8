"""The co-installer in the situations real device installations bring, beyond
one installation of a new device: the finish-install action in a later process
(Windows 8 and later), the action asked for by another installer, a second
installation and a driver update over the installed device, and its removal."""

import os
import shutil
import unittest

from e2e_support import (IMAGE_CLASS, MEDIA_CLASS, PrefixTestCase, add_shipped_class_keys,
                         without_timestamps)

CLASS_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Class\\"
SERVICES_KEY = "HKLM\\System\\CurrentControlSet\\Services\\"
ENUM_KEY = "HKLM\\System\\CurrentControlSet\\Enum\\"
MAKER_FOLDER = "C:\\Program Files\\Common Files\\Marvshrd"
KESTR = "C:\\Program Files\\Common Files\\marvshrd\\Kestr32.exe"
KESTR_ARGUMENTS = " -v 0x1bcf -p 0x2c6a -b 0x0100 -f Video -d %s -m Marvanto"
APP = MAKER_FOLDER + "\\regapp.exe"
POST_INSTALL = '"%s" -post' % APP
NOT_OURS = "   DIF_FINISHINSTALL_ACTION> Not requested by this co-installer; nothing started.\r\n"


class InstallerModes(PrefixTestCase):

    def setUp(self):
        super().setUp()
        self.prefix.stage_package()
        self.prefix.install_stub_as(KESTR)
        self.prefix.install_stub_as(APP)
        key = "HKLM\\SOFTWARE\\Marvanto\\ZKCoInstaller\\ZK ValueAdd"
        self.prefix.reg_add(key, "Path", "REG_SZ", "%43%\\%L%")
        self.prefix.reg_add(key, "Name", "REG_SZ", "regapp.exe")
        self.prefix.reg_add(key, "Parameters", "REG_SZ", "-post")
        self.prefix.reg_add(key, "PostInstall", "REG_DWORD", "1")

    def control_file(self, text):
        with open(self.prefix.system32 + "/zkcoinst.ini", "w", newline="") as f:
            f.write(text)

    def harness(self, version, inf="C:\\camera\\zkcamera.inf", extra=None):
        result = self.prefix.harness(inf, windows_version=version, extra=extra)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        return result

    @staticmethod
    def device_of(result):
        return [line.split(": ", 1)[1] for line in result.stdout.splitlines()
                if line.startswith("device: ")][0]

    def started(self, count, seconds=10):
        return [command_line for _program, command_line, _folder
                in self.prefix.stub_records(wait_for=count, seconds=seconds)]

    def last_run(self):
        log = self.prefix.log()
        return log[log.rindex("Start co-installer:"):]

    def image_devices(self):
        """The driver keys of the Image class: one per installed device."""
        result = self.prefix.run(["reg", "query", CLASS_KEY + IMAGE_CLASS])
        under = (CLASS_KEY + IMAGE_CLASS + "\\").upper().replace("HKLM", "HKEY_LOCAL_MACHINE")
        return [line for line in result.stdout.splitlines()
                if line.strip().upper().startswith(under)]

    def with_monitor_driver(self):
        add_shipped_class_keys(self.prefix)
        self.prefix.put_driver_file("ZKUSBSta.sys")

    def test_windows_8_finishes_the_installation_in_a_later_process(self):
        self.control_file("[KESTR.DevType]\r\nVideo=1\r\n")
        installed = self.harness("win8", extra=["--defer-finish-install"])
        self.assertIn("finish-install action requested: yes", installed.stdout)
        # Only the value-add program runs during the installation itself.
        self.assertEqual(['"C:\\camera\\xwvalueadd.exe"'],
                         [line.strip() for line in self.started(2, seconds=3)])

        later = self.harness("win8", extra=["--device", self.device_of(installed),
                                            "--finish-install-only"])
        self.assertIn("DIF_FINISHINSTALL_ACTION -> 0x00000000", later.stdout)
        self.assertEqual(sorted([POST_INSTALL, '"%s"%s' % (KESTR, KESTR_ARGUMENTS % "1.2.30.400")]),
                         sorted(self.started(3)[1:]))
        # The later process's context never saw the installation.
        run = self.last_run()
        self.assertTrue(run.split("\r\n")[2].startswith("   DIF Code: DIF_FINISHINSTALL_ACTION"),
                        run)
        self.assertIn("   KESTR> Successfully launched Kestr32.exe.\r\n", run)
        self.assertIn("Stop co-installer:", run)

    def test_an_action_another_installer_asked_for_starts_nothing_again(self):
        # NoFNW=1 and no web update: the post-install program starts in
        # post-processing, and the action the class installer asked for
        # must not start it a second time.
        self.control_file("[KESTR.DevType]\r\nVideo=0\r\n[CamInstall]\r\nNoFNW=1\r\n")
        result = self.harness("win7", extra=["--other-installer-finish-install"])
        self.assertIn("finish-install action requested: no", result.stdout)
        self.assertIn("DIF_FINISHINSTALL_ACTION -> 0x00000000", result.stdout)
        self.assertEqual(1, self.started(3, seconds=3).count(POST_INSTALL))
        log = self.prefix.log()
        action = log[log.index("   DIF Code: DIF_FINISHINSTALL_ACTION"):]
        self.assertIn(NOT_OURS + "   DIF Code: DIF_DESTROYPRIVATEDATA", action)

    def test_a_second_installation_over_the_installed_device(self):
        self.with_monitor_driver()
        self.prefix.reg_add(CLASS_KEY + MEDIA_CLASS, "LowerFilters", "REG_MULTI_SZ", "wdmaud")
        first = self.harness("winxp")
        device = self.device_of(first)
        second = self.harness("winxp", extra=["--device", device])
        self.assertEqual(device, self.device_of(second))
        self.assertEqual(1, len(self.image_devices()))
        # The service manager knows the monitor's service only from the next
        # start on, so the second installation takes it off the lists as an
        # orphan and puts it back: each list names it once.
        self.assertEqual(2, self.last_run().count("   Filter 'zkusbsta' is already present."))
        self.assertEqual("ZKUSBSta", self.prefix.reg_query(CLASS_KEY + IMAGE_CLASS,
                                                           "LowerFilters"))
        self.assertEqual("wdmaud\\0ZKUSBSta", self.prefix.reg_query(CLASS_KEY + MEDIA_CLASS,
                                                                    "LowerFilters"))
        # Each installation starts its programs once.
        self.assertEqual(2, self.started(5, seconds=3).count(POST_INSTALL))
        self.assertEqual(2, self.prefix.log().count("   Section to register: CamInstall\r\n"))

    def test_a_driver_update_installs_the_newer_driver_over_the_old(self):
        self.control_file("[KESTR.DevType]\r\nVideo=1\r\n")
        package = self.prefix.unix("C:\\camera")
        newer = self.prefix.unix("C:\\camera2")
        shutil.copytree(package, newer)
        with open(os.path.join(newer, "zkcamera.inf"), newline="") as f:
            inf = f.read()
        self.assertIn("DriverVer=01/15/2008,1.2.30.400", inf)
        with open(os.path.join(newer, "zkcamera.inf"), "w", newline="") as f:
            f.write(inf.replace("DriverVer=01/15/2008,1.2.30.400",
                                "DriverVer=03/02/2009,1.2.31.500"))
        device = self.device_of(self.harness("winxp"))
        self.harness("winxp", inf="C:\\camera2\\zkcamera.inf", extra=["--device", device])
        self.assertEqual(1, len(self.image_devices()))
        run = self.last_run()
        self.assertIn("   MediaSourceDirectory - C:\\camera2\\\r\n", run)
        # The web-update program is told the version now installed.
        kestr = [line for line in self.started(6) if line.startswith('"%s"' % KESTR)]
        self.assertEqual(['"%s"%s' % (KESTR, KESTR_ARGUMENTS % version)
                          for version in ("1.2.30.400", "1.2.31.500")], kestr)

    def test_dif_remove_removes_the_device_and_leaves_the_package_behind(self):
        self.with_monitor_driver()
        device = self.device_of(self.harness("winxp"))
        removed = self.harness("winxp", extra=["--device", device, "--remove"])
        self.assertIn("DIF_REMOVE -> 0x00000000", removed.stdout)
        # The co-installer has nothing to do at DIF_REMOVE.
        self.assertEqual(["Start co-installer: [T]",
                          "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)",
                          "   Unhandled DIF Code:   5 " + "-" * 43,
                          "   DIF Code: DIF_DESTROYPRIVATEDATA " + "-" * 34,
                          "Stop co-installer: [T]", "", ""],
                         without_timestamps(self.last_run()).split("\r\n"))
        self.assertIsNone(self.prefix.reg_query(ENUM_KEY + device, "Driver"))
        self.assertEqual([], self.image_devices())
        # What the package put on the machine stays (zkremove takes it off).
        for guid in (IMAGE_CLASS, MEDIA_CLASS):
            self.assertEqual("ZKUSBSta", self.prefix.reg_query(CLASS_KEY + guid, "LowerFilters"))
        self.assertEqual("system32\\drivers\\ZKUSBSta.sys",
                         self.prefix.reg_query(SERVICES_KEY + "ZKUSBSta", "ImagePath"))


if __name__ == "__main__":
    unittest.main()
