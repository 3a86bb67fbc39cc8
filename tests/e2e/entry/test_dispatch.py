"""The co-installer entry driven through whole device installations: by the
project's harness (which calls it as Windows' device installer does) and by
Wine's own SetupAPI."""

import os
import shutil
import unittest

from e2e_support import (ARCH, BIN_DIR, BITS_TEXT, IMAGE_CLASS, PACKAGE_DLL_FOLDER, SOURCE_DIR,
                         PrefixTestCase, without_timestamps)

RUN_START = ("Start co-installer: [T]\r\n"
             "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n")
HEADER = ("Tool Name: Audio/Video Coinstaller for %s (zkci11701196.dll)\r\n" % BITS_TEXT +
          "Tool Version: 11.70.1196.0 (debug)\r\n"
          "Log Format Version: 01\r\n\r\n"
          "Start Log File: [T]\r\n\r\n")
UNHANDLED_BEFORE_INSTALL = "".join(
    "   Unhandled DIF Code: %3d -------------------------------------------\r\n" % code
    for code in (23, 24, 21, 34, 32))
# The preserve-and-restore pass of a machine without the maker's shared folder.
RESTORE_PASS_NOTHING_SHARED = "".join(
    "   Processing %s.\r\n"
    "   New file version 0.0.0.0.\r\n"
    "   Previous file version 0.0.0.0.\r\n" % name
    for name in ("zkWIAext.dll", "zksf.dll", "ZKCodec2.dll", "ZKUI2.dll", "ZKUI2RC.dll",
                 "ZKUSBSta.sys"))


class InstallationThroughTheHarness(PrefixTestCase):

    def install(self, version, extra=None, package_at="C:\\camera", value_add=True):
        self.prefix.stage_package(at=package_at, value_add=value_add)
        result = self.prefix.harness(package_at + "\\zkcamera.inf", windows_version=version,
                                     extra=extra)
        self.assertEqual(0, result.returncode, result.stderr)
        return result

    def test_whole_log_of_an_installation_before_vista(self):
        result = self.install("winxp")
        self.assertIn("finish-install action requested: no", result.stdout)
        self.assertEqual(
            HEADER + RUN_START + UNHANDLED_BEFORE_INSTALL +
            "   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------\r\n"
            # No zkcoinst.ini: for an Image device before Vista a missing
            # section is an error, and the bandwidth monitor's service goes
            # in; the package ships no ZKUSBSta.sys, so no list names it.
            "   Windows system directory: C:\\windows\\system32\r\n"
            "   Windows directory: C:\\windows\r\n"
            "   INI file to use: C:\\windows\\system32\\zkcoinst.ini\r\n"
            "   Section to register: CamInstall\r\n"
            "   ERROR: Section CamInstall not found !\r\n"
            "   Install bandwidth monitor.\r\n"
            "   WARNING: RegisterROVudevidNT> C:\\windows\\system32\\drivers\\ZKUSBSta.sys is "
            "missing; ZKUSBSta is not added to the class filter lists.\r\n" +
            RESTORE_PASS_NOTHING_SHARED +
            "   LaunchRegisteredApp:\r\n"
            "   MediaSourceDirectory - C:\\camera\\\r\n"
            "   Launching - C:\\camera\\xwvalueadd.exe\r\n"
            "   Launching File C:\\camera\\xwvalueadd.exe with CommandLine Option - (null)\r\n"
            "   Updating codecs ...\r\n"
            "   Done updating codecs.\r\n"
            "   DIF Code: DIF_INSTALLDEVICE (Post-processing) ---------------------\r\n"
            "   LaunchRegisteredApp:\r\n"
            "   Updating codecs ...\r\n"
            "   Done updating codecs.\r\n"
            "   DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL -----------------------\r\n"
            "   DIF Code: DIF_DESTROYPRIVATEDATA ----------------------------------\r\n"
            "   ERROR: LaunchKestrForDeviceClass> Device section not found in "
            "'C:\\windows\\system32\\zkcoinst.ini'.\r\n"
            "Stop co-installer: [T]\r\n\r\n",
            without_timestamps(self.prefix.log()))

    def test_every_code_is_answered_as_the_installer_expects(self):
        result = self.install("win7")
        lines = result.stdout.splitlines()
        self.assertEqual([
            "DIF_SELECTBESTCOMPATDRV -> 0x00000000",
            "DIF_ALLOW_INSTALL -> 0x00000000",
            "DIF_INSTALLDEVICEFILES -> 0x00000000",
            "DIF_REGISTER_COINSTALLERS -> 0x00000000",
            "DIF_INSTALLINTERFACES -> 0x00000000",
            "DIF_INSTALLDEVICE -> 0xE0000226",
            "DIF_INSTALLDEVICE (post-processing) -> 0x00000000",
            "DIF_NEWDEVICEWIZARD_FINISHINSTALL -> 0x00000000",
        ], lines[:8])
        self.assertIn("DIF_DESTROYPRIVATEDATA -> 0x00000000", lines)

    def test_post_processing_passes_a_failed_installation(self):
        result = self.install("winxp", extra=["--install-fails"])
        self.assertIn("DIF_INSTALLDEVICE (post-processing) -> 0x00000000", result.stdout)

    def test_pre_processing_asks_for_post_processing_without_a_media_directory(self):
        # A device the INF does not match has no selected driver, so no INF
        # directory: pre-processing still asks to be called back.
        self.prefix.stage_package()
        result = self.prefix.harness("C:\\camera\\zkcamera.inf", hwids=["USB\\VID_0000&PID_0000"],
                                     windows_version="winxp")
        self.assertIn("DIF_INSTALLDEVICE -> 0xE0000226", result.stdout)
        self.assertIn("   ERROR: Failed to get Media Source Directory \r\n", self.prefix.log())
        self.assertEqual([], self.prefix.stub_records(wait_for=0, seconds=0))

    def test_value_add_program_starts_from_the_media_directory(self):
        self.install("winxp")
        records = self.prefix.stub_records(wait_for=1)
        self.assertEqual(1, len(records))
        program, command_line, _folder = records[0]
        self.assertEqual("C:\\camera\\xwvalueadd.exe", program)
        self.assertEqual('"C:\\camera\\xwvalueadd.exe"', command_line.strip())

    def test_missing_value_add_program_is_a_warning_with_the_system_text(self):
        result = self.install("winxp", value_add=False)
        self.assertIn("DIF_INSTALLDEVICE -> 0xE0000226", result.stdout)
        self.assertIn(
            "   WARNING: Unable to launch 'C:\\camera\\xwvalueadd.exe'. 0x00000002 - "
            "File not found.\r\r\n", self.prefix.log())

    def test_a_value_add_path_that_does_not_fit_is_not_launched(self):
        # The INF path fits in 260 characters; with "xwvalueadd.exe" in place of
        # "zkcamera.inf" it would not.
        folder = "C:\\" + "\\".join(["d" * 60] * 4)
        self.assertGreater(len(folder + "\\xwvalueadd.exe"), 259)
        self.assertLess(len(folder + "\\zkcamera.inf"), 260)
        self.install("winxp", package_at=folder)
        log = self.prefix.log()
        self.assertIn("   MediaSourceDirectory - %s\\\r\n" % folder, log)
        self.assertIn("   ERROR: Value-add program path is too long; not launched.\r\n", log)
        self.assertNotIn("Launching", log)
        self.assertEqual([], self.prefix.stub_records(wait_for=0, seconds=2))

    def test_installing_again_after_destroy_starts_a_new_run(self):
        self.install("winxp", extra=["--installations", "2"])
        log = self.prefix.log()
        self.assertEqual(1, log.count("Tool Name:"))
        self.assertEqual(2, log.count("Start co-installer:"))
        self.assertEqual(2, log.count("Stop co-installer:"))
        self.assertEqual(2, log.count("DIF Code: DIF_DESTROYPRIVATEDATA"))

    def test_a_set_never_destroyed_ends_its_run_without_a_stop_line(self):
        self.install("winxp", extra=["--no-destroy"])
        log = self.prefix.log()
        self.assertEqual(1, log.count("Start co-installer:"))
        self.assertIn("DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL", log)
        self.assertNotIn("Stop co-installer:", log)


class InstallationThroughWineSetupApi(PrefixTestCase):
    """Wine's own device installer runs every step; the harness only asks."""

    def stage(self, inf_text=None):
        self.prefix.stage_package()
        package = self.prefix.unix("C:\\camera")
        if inf_text is not None:
            with open(os.path.join(package, "zkcamera.inf"), "w", newline="\r\n") as f:
                f.write(inf_text(self.example_inf()))
        return package

    @staticmethod
    def example_inf():
        with open(os.path.join(SOURCE_DIR, "examples", "camera", "zkcamera.inf")) as f:
            return f.read()

    def driver_key_values(self):
        result = self.prefix.run(["reg", "query",
                                  "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\" +
                                  IMAGE_CLASS, "/s"])
        return result.stdout

    def test_the_package_inf_alone_copies_names_and_runs_the_co_installer(self):
        # Nothing of the co-installer is on the machine before: the package
        # folder carries it, and its INF puts it in place.
        os.remove(os.path.join(self.prefix.system32, "zkcoinst.dll"))
        # The other processor's .CoInstallers section is renamed away: the
        # co-installer can only be named by the section of this one.
        other = {"x86": "CamInstall.NTamd64", "x64": "CamInstall.NT"}[ARCH]
        package = self.stage(lambda text: text.replace(
            "[%s.CoInstallers]" % other, "[%s.Unused]" % other))
        built = os.path.join(BIN_DIR, "zkcoinst.dll")
        # The package keeps the co-installer of each processor in a folder of
        # its own, where its decorated [SourceDisksFiles.x86/.amd64] say.
        # Wine's SetupAPI reads only the undecorated [SourceDisksFiles] and
        # copies a file that it does not list from the INF's own folder, so the
        # co-installer of this build's processor lies there too.
        os.makedirs(os.path.join(package, PACKAGE_DLL_FOLDER[ARCH]))
        shutil.copy(built, os.path.join(package, PACKAGE_DLL_FOLDER[ARCH]))
        shutil.copy(built, package)

        result = self.prefix.harness("C:\\camera\\zkcamera.inf", extra=["--setupapi"],
                                     windows_version="winxp")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)

        for name, source in (("zkcoinst.dll", built),
                             ("zkcoinst.ini", os.path.join(package, "zkcoinst.ini"))):
            with open(source, "rb") as f:
                self.assertEqual(f.read(), self.prefix.read_bytes("C:\\windows\\system32\\" + name),
                                 name + " was not copied to the system directory")
        values = self.driver_key_values()
        self.assertRegex(values, r"CoInstallers32\s+REG_MULTI_SZ\s+zkcoinst\.dll,ZkCoInstaller")
        # The INF went into the INF folder with its catalog: Wine's device
        # installer names a file part it never set when the catalog is missing.
        self.assertRegex(values, r"InfPath\s+REG_SZ\s+zkcamera\.inf")

        log = self.prefix.log()
        self.assertIsNotNone(log, "the co-installer was not called")
        # The device's co-installers are named at DIF_REGISTER_COINSTALLERS, so
        # the first code the co-installer sees is the one after it.
        codes = [line for line in log.split("\r\n") if "DIF Code" in line]
        self.assertTrue(codes and codes[0].startswith("   Unhandled DIF Code:  32 ---"), codes)
        self.assertIn("   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ---", log)
        # The setup actions of the driver's install section ran from the INI
        # that the same section copied.
        self.assertIn("   Section to register: CamInstall\r\n", log)
        self.assertIn("   File to register: C:\\windows\\system32\\zkcampage.dll\r\n", log)
        self.assertIn("   DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL ---", log)
        self.assertIn("   DIF Code: DIF_DESTROYPRIVATEDATA ---", log)
        self.assertEqual(1, log.count("Stop co-installer:"))

    def test_the_class_wide_registration_serves_an_inf_without_co_installers(self):
        def without_co_installers(text):
            return (text.replace("CamInstall.NT.CoInstallers", "CamInstall.NT.Unused")
                    .replace("CamInstall.NTamd64.CoInstallers", "CamInstall.NTamd64.Unused"))

        self.stage(without_co_installers)
        result = self.prefix.harness("C:\\camera\\zkcamera.inf",
                                     extra=["--setupapi", "--class-coinstaller"],
                                     windows_version="winxp")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertNotIn("CoInstallers32", self.driver_key_values())
        log = self.prefix.log()
        self.assertIsNotNone(log, "the co-installer was not loaded")
        self.assertIn("Start co-installer:", log)
        self.assertIn("   Unhandled DIF Code:  23 ---", log)
        self.assertIn("   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ---", log)
        self.assertIn("   DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL ---", log)
        self.assertIn("   DIF Code: DIF_DESTROYPRIVATEDATA ---", log)
        # Wine loads the co-installer for each call and frees it afterwards, so
        # every call is a run of its own; the log is released at each unload.
        self.assertGreaterEqual(log.count("Start co-installer:"), 8)
        self.assertEqual(1, log.count("Stop co-installer:"))


if __name__ == "__main__":
    unittest.main()
