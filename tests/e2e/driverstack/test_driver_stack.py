"""The driver stack over whole device installations through the harness: the
package's orphaned class filters removed, the codec registered in both
installation phases, and the driver key's friendly name and vendor corrected."""

import os
import unittest

from e2e_support import IMAGE_CLASS, MEDIA_CLASS, PrefixTestCase, add_shipped_class_keys

CLASS_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Class\\"
IMAGE_KEY = CLASS_KEY + IMAGE_CLASS
DRIVERS32 = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32"
DEVICE_NAME = "ZK USB Camera (Video)"
REMOVED_LINE = "   Filter 'zkusbsta' is already present.\r\r\n"
MONITOR_SKIPPED = ("   WARNING: RegisterROVudevidNT> C:\\windows\\system32\\drivers\\ZKUSBSta.sys is "
                   "missing; ZKUSBSta is not added to the class filter lists.\r\n")
CODEC_PAIR = "   Updating codecs ...\r\n   Done updating codecs.\r\n"


class DriverStackInstallation(PrefixTestCase):

    def install(self, version):
        self.prefix.stage_package()
        result = self.prefix.harness("C:\\camera\\zkcamera.inf", windows_version=version,
                                     extra=["--name", DEVICE_NAME])
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        return self.prefix.log()

    def driver_key(self):
        """The Image class's one device key: the driver key of the installed camera."""
        result = self.prefix.run(["reg", "query", IMAGE_KEY])
        keys = [line.strip() for line in result.stdout.splitlines()
                if line.strip().upper().startswith("HKEY_LOCAL_MACHINE\\")
                and line.strip().upper() != IMAGE_KEY.upper().replace("HKLM", "HKEY_LOCAL_MACHINE")]
        self.assertEqual(1, len(keys), result.stdout)
        return keys[0]

    def test_orphan_removed_codec_registered_and_driver_key_corrected(self):
        self.prefix.reg_add(IMAGE_KEY, "LowerFilters", "REG_MULTI_SZ",
                            "ksthunk\\0zkusbsta\\0other\\0ZKUSBSta")
        log = self.install("winxp")

        # Both orphaned entries went. The setup-action step that follows (no
        # zkcoinst.ini section declines the bandwidth monitor) writes the
        # monitor's service but, the example package shipping no
        # ZKUSBSta.sys, puts it in no list again.
        self.assertEqual("ksthunk\\0other", self.prefix.reg_query(IMAGE_KEY, "LowerFilters"))
        self.assertEqual(2, log.count(REMOVED_LINE), log)
        self.assertEqual(1, log.count(MONITOR_SKIPPED), log)
        # The removal is the first step of the installation.
        self.assertIn("   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ----------------------\r\n"
                      + REMOVED_LINE * 2, log)

        # The codec ends both phases.
        self.assertEqual(2, log.count(CODEC_PAIR), log)
        self.assertIn(CODEC_PAIR + "   DIF Code: DIF_INSTALLDEVICE (Post-processing)", log)
        self.assertIn(CODEC_PAIR + "   DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL", log)
        self.assertEqual("zkcodec2.dll", self.prefix.reg_query(DRIVERS32, "VIDC.I420"))

        key = self.driver_key()
        self.assertEqual(DEVICE_NAME, self.prefix.reg_query(key, "FriendlyName"))
        self.assertEqual("Marvanto", self.prefix.reg_query(key, "Vendor"))

    def test_an_installed_filter_with_its_file_stays(self):
        # The service known to the service manager and its driver file in place.
        result = self.prefix.run(["sc", "create", "zkusbsta", "type=", "kernel",
                                  "binPath=", "system32\\drivers\\zkusbsta.sys"])
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.prefix.put_driver_file("zkusbsta.sys")
        self.prefix.reg_add(IMAGE_KEY, "LowerFilters", "REG_MULTI_SZ", "ksthunk\\0zkusbsta")
        log = self.install("winxp")
        self.assertEqual("ksthunk\\0zkusbsta", self.prefix.reg_query(IMAGE_KEY, "LowerFilters"))
        self.assertNotIn("Filter '", log)

    def test_the_monitor_joins_the_lower_filters_of_both_classes_windows_ships(self):
        add_shipped_class_keys(self.prefix)
        self.prefix.put_driver_file("ZKUSBSta.sys")
        log = self.install("win7")
        self.assertNotIn("WARNING: RegisterROVudevidNT", log)
        for guid in (IMAGE_CLASS, MEDIA_CLASS):
            self.assertEqual("ZKUSBSta", self.prefix.reg_query(CLASS_KEY + guid, "LowerFilters"),
                             guid)

    def test_without_its_driver_file_the_monitor_joins_no_list(self):
        # The example package ships no ZKUSBSta.sys: a listed monitor would
        # keep every camera and every sound device from starting.
        add_shipped_class_keys(self.prefix)
        self.prefix.reg_add(CLASS_KEY + MEDIA_CLASS, "LowerFilters", "REG_MULTI_SZ", "wdmaud")
        log = self.install("win7")
        self.assertEqual(1, log.count("   Install bandwidth monitor.\r\n" + MONITOR_SKIPPED), log)
        self.assertIsNone(self.prefix.reg_query(IMAGE_KEY, "LowerFilters"))
        self.assertEqual("wdmaud", self.prefix.reg_query(CLASS_KEY + MEDIA_CLASS, "LowerFilters"))
        self.assertEqual("system32\\drivers\\ZKUSBSta.sys",
                         self.prefix.reg_query("HKLM\\System\\CurrentControlSet\\Services\\ZKUSBSta",
                                               "ImagePath"))

    def test_no_codec_before_windows_2000(self):
        log = self.install("nt40")
        self.assertNotIn("codecs", log)
        self.assertIsNone(self.prefix.reg_query(DRIVERS32, "VIDC.I420"))


if __name__ == "__main__":
    unittest.main()
