"""The demo: installs the example camera package in a scratch Wine prefix
through the device-installation harness, the way Windows' device installer
would, and shows what zkcoinst.dll did.

Run it through scripts/demo.sh, which builds everything first.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_support import BIN_DIR, CAMERA_HWIDS, Prefix  # noqa: E402

WINDOWS_VERSION = os.environ.get("ZK_DEMO_WINVER", "win7")


def heading(text):
    print()
    print("== " + text + " " + "=" * max(0, 72 - len(text)))


def main():
    prefix = Prefix("demo")
    try:
        prefix.install_tools()
        package = prefix.stage_package()
        heading("Installing %s\\zkcamera.inf on Windows %s (hardware ID %s)"
                % (package, WINDOWS_VERSION, CAMERA_HWIDS[0]))
        result = prefix.harness(package + "\\zkcamera.inf", windows_version=WINDOWS_VERSION)
        print(result.stdout.rstrip())
        if result.returncode != 0:
            print(result.stderr.rstrip())
            return 1

        heading("zkcoinst.log (C:\\windows\\system32\\zkcoinst.log)")
        print((prefix.log() or "(no log)").replace("\r\n", "\n").rstrip())

        heading("Programs the co-installer started")
        records = prefix.stub_records(wait_for=1, seconds=5)
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
