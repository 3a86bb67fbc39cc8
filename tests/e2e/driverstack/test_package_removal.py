"""Taking the package off a machine with zkremove: after an installation that
put both filters in their class lists, and other installers' entries around
them, no class list names a filter of ours, every other entry is where it was,
and a service and driver file go only when nothing names them any more."""

import os
import shutil
import unittest

from e2e_support import (BIN_DIR, IMAGE_CLASS, MEDIA_CLASS, TOOLS, PrefixTestCase,
                         add_shipped_class_keys)

CONTROL = "HKLM\\System\\CurrentControlSet\\"
CLASS_KEY = CONTROL + "Control\\Class\\"
VOLUME_CLASS = "{71A27CDD-812A-11D0-BEC7-08002BE2092F}"
USB_CLASS = "{36FC9E60-C465-11CF-8056-444553540000}"
# A device of another package whose own list names the storage filter.
VOLUME_DEVICE = CONTROL + "Enum\\ROOT\\ZKTESTVOLUME\\0000"


class PackageRemoval(PrefixTestCase):

    def lists(self):
        return {key: self.prefix.reg_query(CLASS_KEY + guid, value)
                for key, guid, value in (("image", IMAGE_CLASS, "LowerFilters"),
                                         ("media", MEDIA_CLASS, "LowerFilters"),
                                         ("volume", VOLUME_CLASS, "UpperFilters"),
                                         ("usb", USB_CLASS, "UpperFilters"))}

    def test_our_filters_come_off_and_every_other_entry_stays_in_order(self):
        add_shipped_class_keys(self.prefix)
        self.prefix.reg_add(CLASS_KEY + VOLUME_CLASS, "Class", "REG_SZ", "Volume")
        self.prefix.reg_add(CLASS_KEY + IMAGE_CLASS, "LowerFilters", "REG_MULTI_SZ", "ksthunk")
        self.prefix.reg_add(CLASS_KEY + MEDIA_CLASS, "LowerFilters", "REG_MULTI_SZ", "wdmaud")
        self.prefix.reg_add(CLASS_KEY + VOLUME_CLASS, "UpperFilters", "REG_MULTI_SZ", "volsnap")
        self.prefix.reg_add(CLASS_KEY + USB_CLASS, "UpperFilters", "REG_MULTI_SZ",
                            "usbflt\\0zkother")
        monitor = self.prefix.put_driver_file("ZKUSBSta.sys")
        storage = self.prefix.put_driver_file("ZkClsUpr.sys")
        # Windows 2000 with 99,DisableUnsafeDialog installs the storage filter too.
        with open(self.prefix.system32 + "/zkcoinst.ini", "w", newline="") as f:
            f.write("[CamInstall]\r\n99,DisableUnsafeDialog\r\n")
        self.prefix.stage_package()
        result = self.prefix.harness("C:\\camera\\zkcamera.inf", windows_version="win2k")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertEqual({"image": "ksthunk\\0ZKUSBSta", "media": "wdmaud\\0ZKUSBSta",
                          "volume": "ZkClsUpr\\0volsnap", "usb": "usbflt\\0zkother"},
                         self.lists())
        # Later installers put their filters around ours.
        for guid, value, data in ((IMAGE_CLASS, "LowerFilters", "ksthunk\\0ZKUSBSta\\0lateflt"),
                                  (MEDIA_CLASS, "LowerFilters", "wdmaud\\0ZKUSBSta\\0mediaflt"),
                                  (VOLUME_CLASS, "UpperFilters", "early\\0ZkClsUpr\\0volsnap")):
            self.prefix.reg_add(CLASS_KEY + guid, value, "REG_MULTI_SZ", data)
        self.prefix.reg_add(VOLUME_DEVICE, "UpperFilters", "REG_MULTI_SZ", "ZkClsUpr")

        shutil.copy(os.path.join(BIN_DIR, "zkremove.exe"), self.prefix.unix(TOOLS))
        removal = self.prefix.run([TOOLS + "\\zkremove.exe"])
        self.assertEqual(0, removal.returncode, removal.stdout + removal.stderr)

        self.assertEqual({"image": "ksthunk\\0lateflt", "media": "wdmaud\\0mediaflt",
                          "volume": "early\\0volsnap", "usb": "usbflt\\0zkother"}, self.lists())
        # Nothing names the monitor any more: its service and file go. The
        # storage filter is still named by a device's own list: both stay.
        self.assertIsNone(self.prefix.reg_query(CONTROL + "Services\\ZKUSBSta", "ImagePath"))
        self.assertFalse(os.path.exists(monitor))
        self.assertEqual("system32\\drivers\\ZkClsUpr.sys",
                         self.prefix.reg_query(CONTROL + "Services\\ZkClsUpr", "ImagePath"))
        self.assertTrue(os.path.exists(storage))
        self.assertIn("service zkclsupr and zkclsupr.sys: kept; the upperfilters of device "
                      "root\\zktestvolume\\0000 names it.", removal.stdout.lower())

        # A second run finds nothing more to change.
        again = self.prefix.run([TOOLS + "\\zkremove.exe"])
        self.assertEqual(0, again.returncode, again.stdout + again.stderr)
        self.assertNotIn("taken off", again.stdout)
        self.assertNotIn("deleted", again.stdout)


if __name__ == "__main__":
    unittest.main()
