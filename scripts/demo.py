"""The demo: installs the example camera package in a scratch Wine prefix
through the device-installation harness, the way Windows' device installer
would, and shows what zkcoinst.dll did.

Run it through scripts/demo.sh, which builds everything first.
"""

import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_support import BIN_DIR, CAMERA_HWIDS, IMAGE_CLASS, MEDIA_CLASS, Prefix  # noqa: E402

WINDOWS_VERSION = os.environ.get("ZK_DEMO_WINVER", "win7")
DEVICE_NAME = "ZK USB Camera"
CLASS_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Class\\"
DRIVERS32 = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32"
# What the driver stack looks at and changes: the class filter lists and the
# codec value.
WATCHED_VALUES = [
    ("Image class LowerFilters", CLASS_KEY + IMAGE_CLASS, "LowerFilters"),
    ("Image class UpperFilters", CLASS_KEY + IMAGE_CLASS, "UpperFilters"),
    ("MEDIA class LowerFilters", CLASS_KEY + MEDIA_CLASS, "LowerFilters"),
    ("Codec VIDC.I420 (Drivers32)", DRIVERS32, "VIDC.I420"),
]


def heading(text):
    print()
    print("== " + text + " " + "=" * max(0, 72 - len(text)))


def show_values(prefix, values):
    for label, key, name in values:
        data = prefix.reg_query(key, name)
        print("%-30s %s" % (label, "(no value)" if data is None else data.replace("\\0", ", ")))


def driver_keys(prefix):
    """The device keys under the Image class: the installed camera's driver key."""
    key = CLASS_KEY + IMAGE_CLASS
    result = prefix.run(["reg", "query", key])
    full = key.replace("HKLM", "HKEY_LOCAL_MACHINE").upper()
    return [line.strip() for line in result.stdout.splitlines()
            if line.strip().upper().startswith(full + "\\")]
MAKER_FOLDER = "C:\\Program Files\\Common Files\\Marvshrd"


def set_up_companion_programs(prefix, package):
    """What the package's own setup would put in place: the control file in the
    system directory, the registered programs, and the maker folder with the
    web-update program and the tools (all played by the recording stub)."""
    shutil.copy(prefix.unix(package + "\\zkcoinst.ini"), prefix.system32)
    prefix.reg_import(prefix.unix(package + "\\registered_programs.reg"))
    for program in ("Kestr32.exe", "Tools\\zktools.exe", "Tools\\campre.exe"):
        prefix.install_stub_as(MAKER_FOLDER + "\\" + program)
    heading("Companion programs in place")
    print("zkcoinst.ini copied to C:\\windows\\system32 (web-update switch on)")
    print("registered programs imported from %s\\registered_programs.reg" % package)
    print("maker folder %s: Kestr32.exe, Tools\\zktools.exe, Tools\\campre.exe" % MAKER_FOLDER)


def main():
    prefix = Prefix("demo")
    try:
        prefix.install_tools()
        package = prefix.stage_package()
        # An earlier package left its bandwidth monitor in the Image class list,
        # but its service is gone: the co-installer takes it out.
        prefix.reg_add(CLASS_KEY + IMAGE_CLASS, "LowerFilters", "REG_MULTI_SZ",
                       "ksthunk\\0zkusbsta")
        heading("Class filter lists and codec before the installation")
        show_values(prefix, WATCHED_VALUES)

        set_up_companion_programs(prefix, package)
        heading("Installing %s\\zkcamera.inf on Windows %s (hardware ID %s)"
                % (package, WINDOWS_VERSION, CAMERA_HWIDS[0]))
        # The device's friendly name, as the device installer knows it; the INF
        # writes generic texts into the driver key that the co-installer corrects.
        print("device friendly name: %s" % DEVICE_NAME)
        result = prefix.harness(package + "\\zkcamera.inf", windows_version=WINDOWS_VERSION,
                                extra=["--name", DEVICE_NAME])
        print(result.stdout.rstrip())
        if result.returncode != 0:
            print(result.stderr.rstrip())
            return 1

        heading("Class filter lists and codec after the installation")
        show_values(prefix, WATCHED_VALUES)
        for key in driver_keys(prefix):
            show_values(prefix, [("Driver key FriendlyName", key, "FriendlyName"),
                                 ("Driver key Vendor", key, "Vendor")])

        heading("zkcoinst.log (C:\\windows\\system32\\zkcoinst.log)")
        print((prefix.log() or "(no log)").replace("\r\n", "\n").rstrip())

        heading("Programs the co-installer started")
        # The value-add program, the camera's pre-install tool, the post-install
        # tool and the web-update program.
        records = prefix.stub_records(wait_for=4, seconds=10)
        for program, command_line, folder in records:
            print("%s\n    command line: %s\n    folder: %s" % (program, command_line, folder))
        if not records:
            print("(none)")

        heading("The DLL")
        print("built at %s" % os.path.join(BIN_DIR, "zkcoinst.dll"))
        print("README.md, 'Shipping the DLL in a driver package', says how to ship it.")
        return 0
    finally:
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
