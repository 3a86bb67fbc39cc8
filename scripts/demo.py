"""The demo: installs the example camera package in a scratch Wine prefix
through the device-installation harness, the way Windows' device installer
would, and shows what zkcoinst.dll did.

Run it through scripts/demo.sh, which builds everything first.
"""

import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_support import (ARCH, BIN_DIR, BUILD_DIR, CAMERA_HWIDS, IMAGE_CLASS,  # noqa: E402
                         MEDIA_CLASS, PACKAGE_DLL_FOLDER, SOURCE_DIR, TOOLS, WINEARCH, Prefix,
                         WineBootError, add_shipped_class_keys)

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


# The shared-components folder of the demo: a newer copy of one protected file
# (a small test library with a real version resource) over an older one that
# an earlier package left in the system directory.
VERSIONED = os.path.join(BUILD_DIR, "tests", "win", "preserve")
SHARED_COPY = "C:\\Program Files\\Common Files\\Marvshrd\\Camera\\ZKUI2.dll"
INSTALLED = "C:\\windows\\system32\\ZKUI2.dll"


def file_version(prefix, windows_path):
    """The file version in the version resource of a file, or "none"."""
    data = prefix.read_bytes(windows_path)
    at = -1 if data is None else data.find(b"\xbd\x04\xef\xfe")
    if at < 0:
        return "none"
    ms = int.from_bytes(data[at + 8:at + 12], "little")
    ls = int.from_bytes(data[at + 12:at + 16], "little")
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def put_versioned(prefix, name, windows_path):
    target = prefix.unix(windows_path)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy(os.path.join(VERSIONED, name + ".dll"), target)


# Where the demo keeps the logs it explains at its end.
LOG_FOLDER = os.path.join(SOURCE_DIR, "build", "demo")
LOG_PATH = "C:\\windows\\system32\\zkcoinst.log"


def keep_log(prefix, name):
    """A copy of the prefix's zkcoinst.log, byte for byte, under LOG_FOLDER."""
    os.makedirs(LOG_FOLDER, exist_ok=True)
    path = os.path.join(LOG_FOLDER, name)
    with open(path, "wb") as handle:
        handle.write(prefix.read_bytes(LOG_PATH) or b"")
    return path


def explain_logs(prefix, logs):
    """zklogcheck on the logs the demo kept: every run, what it did and why an
    ERROR or WARNING line is there."""
    heading("zklogcheck " + " ".join(os.path.relpath(log, SOURCE_DIR) for log in logs))
    result = prefix.run([Prefix.windows(os.path.join(BIN_DIR, "zklogcheck.exe"))] +
                        [Prefix.windows(log) for log in logs])
    print(result.stdout.replace("\r\n", "\n").rstrip())
    print("(exit status %d: %s)" % (result.returncode, "a run has an ERROR" if result.returncode == 1
                                    else "no run has an ERROR" if result.returncode == 0
                                    else "zklogcheck failed"))


def show_protected_file_in_use(prefix):
    heading("A protected file in use is replaced at the next start")
    put_versioned(prefix, "v6_0_0_99", INSTALLED)
    shutil.copy(os.path.join(BIN_DIR, "restore_pass_driver.exe"), prefix.unix(TOOLS))
    prefix.run(["C:\\windows\\system32\\cmd.exe", "/c", "del", "/q",
                "C:\\windows\\system32\\zkcoinst.log"])
    prefix.run([TOOLS + "\\restore_pass_driver.exe", "--hold", INSTALLED])
    print("%s is held open while the pass runs; it logs:" % INSTALLED)
    log = (prefix.log() or "").replace("\r\n", "\n")
    print("\n".join(line for line in log.splitlines() if "ZKUI2.dll" in line or "ERROR" in line))
    print("PendingFileRenameOperations: %s" % prefix.reg_query(
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
        "PendingFileRenameOperations"))
    print("%s before the restart: %s" % (INSTALLED, file_version(prefix, INSTALLED)))
    prefix.reboot()
    print("%s after the restart:  %s" % (INSTALLED, file_version(prefix, INSTALLED)))


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
# The component that the example zkcoinst.ini registers: a test library whose
# DllRegisterServer records the command line it was registered with.
COMPONENT = os.path.join(BUILD_DIR, "tests", "win", "setupactions", "zk_fixture_component.dll")
COMPONENT_PATH = "C:\\windows\\system32\\zkcampage.dll"


def component_record(prefix, seconds=10):
    """The command line regsvr32 registered the component with, or "(not registered)"."""
    record = prefix.unix(COMPONENT_PATH + ".ran")
    deadline = time.time() + seconds
    while not os.path.exists(record) and time.time() < deadline:
        time.sleep(0.1)
    data = prefix.read_bytes(COMPONENT_PATH + ".ran")
    return "(not registered)" if not data else data.decode("latin-1")


def show_setup_entry(prefix):
    heading("rundll32 zkcoinst.dll,SetupEntryPoint CamSetup (a setup program)")
    if os.path.exists(prefix.unix(COMPONENT_PATH + ".ran")):
        os.remove(prefix.unix(COMPONENT_PATH + ".ran"))
    before = len((prefix.log() or "").replace("\r\n", "\n"))
    prefix.run(["rundll32", "zkcoinst.dll,SetupEntryPoint", "CamSetup"])
    print((prefix.log() or "").replace("\r\n", "\n")[before:].rstrip())
    print("component registered again by: %s" % component_record(prefix))


MAKER_FOLDER = "C:\\Program Files\\Common Files\\Marvshrd"


def set_up_companion_programs(prefix, package):
    """What the package's own setup would put in place: the control file in the
    system directory, the registered programs, and the maker folder with the
    web-update program and the tools (all played by the recording stub)."""
    shutil.copy(prefix.unix(package + "\\zkcoinst.ini"), prefix.system32)
    shutil.copy(COMPONENT, prefix.unix(COMPONENT_PATH))
    prefix.reg_import(prefix.unix(package + "\\registered_programs.reg"))
    for program in ("Kestr32.exe", "Tools\\zktools.exe", "Tools\\campre.exe"):
        prefix.install_stub_as(MAKER_FOLDER + "\\" + program)
    heading("Companion programs in place")
    print("zkcoinst.ini copied to C:\\windows\\system32 (web-update switch on, setup actions)")
    print("component %s (records its registration)" % COMPONENT_PATH)
    print("registered programs imported from %s\\registered_programs.reg" % package)
    print("maker folder %s: Kestr32.exe, Tools\\zktools.exe, Tools\\campre.exe" % MAKER_FOLDER)


# Both builds of the DLL: the ready package folder carries each in the folder
# that the example INF names for its processor.
BUILDS = (("x86", "32-bit", os.path.join(SOURCE_DIR, "build", "windows", "bin", "zkcoinst.dll")),
          ("x64", "64-bit", os.path.join(SOURCE_DIR, "build", "windows-x64", "bin",
                                         "zkcoinst.dll")))


def check_package(prefix, package):
    """zkpkgcheck on the ready package folder: will the device installer run
    the co-installer, for each processor?"""
    heading("zkpkgcheck %s" % os.path.relpath(package, SOURCE_DIR))
    result = prefix.run([Prefix.windows(os.path.join(BIN_DIR, "zkpkgcheck.exe")),
                         Prefix.windows(package)])
    print(result.stdout.replace("\r\n", "\n").rstrip())
    print("(exit status %d)" % result.returncode)


def show_packaging(prefix):
    """Where the DLLs are, and a ready package folder made from the example."""
    heading("The DLLs and a driver package")
    package = os.path.join(SOURCE_DIR, "build", "package", "camera")
    shutil.rmtree(package, ignore_errors=True)
    shutil.copytree(os.path.join(SOURCE_DIR, "examples", "camera"), package)
    version = re.search(r'ZK_VERSION_TEXT "([^"]*)"',
                        open(os.path.join(BUILD_DIR, "generated", "core", "core",
                                          "version_info.h")).read()).group(1)
    for arch, bits, dll in BUILDS:
        print("zkcoinst.dll for %s Windows (version %s) is built at" % (bits, version))
        print("    " + dll)
        if os.path.exists(dll):
            os.makedirs(os.path.join(package, PACKAGE_DLL_FOLDER[arch]))
            shutil.copy(dll, os.path.join(package, PACKAGE_DLL_FOLDER[arch]))
    print("The example package, ready to install, with each DLL where its INF says:")
    for folder, _, files in sorted(os.walk(package)):
        for name in sorted(files):
            print("    " + os.path.relpath(os.path.join(folder, name), os.path.dirname(package)))
    print("To put the co-installer in a package of your own:")
    print("  1. copy your zkcoinst.ini beside the INF, and each zkcoinst.dll into a")
    print("     folder of its processor (x86, amd64);")
    print("  2. add to the INF (see examples/camera/zkcamera.inf), for each install")
    print("     section of each processor (.NT, .NTamd64):")
    for line in ("[<install section>.CoInstallers]",
                 "CopyFiles=CamCoInstaller.CopyFiles",
                 "AddReg=CamCoInstaller.AddReg",
                 "[CamCoInstaller.CopyFiles]",
                 "zkcoinst.dll",
                 "zkcoinst.ini",
                 "[CamCoInstaller.AddReg]",
                 'HKR,,CoInstallers32,0x00010000,"zkcoinst.dll,ZkCoInstaller"',
                 "[DestinationDirs]",
                 "CamCoInstaller.CopyFiles=11",
                 "and the files in [SourceDisksFiles.x86] and [SourceDisksFiles.amd64]",
                 "(zkcoinst.dll=1,x86 and zkcoinst.dll=1,amd64);"):
        print("       " + line)
    print("  3. give zkcoinst.ini a section named after each install section as the")
    print("     model lines name it (README.md, 'zkcoinst.ini'), and check it with zkinicheck;")
    print("  4. check the whole package with zkpkgcheck, as below.")
    check_package(prefix, package)


def show_monitor_with_its_file(prefix, package):
    """The example package ships no ZKUSBSta.sys, so the installation above put
    the bandwidth monitor in no class list (a listed filter without its file
    keeps every device of the class from starting). With the file in the
    drivers folder, a second installation adds it."""
    heading("The bandwidth monitor once its driver file is there")
    prefix.put_driver_file("ZKUSBSta.sys")
    print("C:\\windows\\system32\\drivers\\ZKUSBSta.sys put in place; installing again")
    result = prefix.harness(package + "\\zkcamera.inf", windows_version=WINDOWS_VERSION,
                            extra=["--name", DEVICE_NAME])
    if result.returncode != 0:
        print(result.stderr.rstrip())
        return
    log = (prefix.log() or "").replace("\r\n", "\n")
    run = log[log.rfind("Start co-installer:"):]
    for line in run.splitlines():
        if "bandwidth monitor" in line or "RegisterROVudevidNT" in line:
            print(line.rstrip("\r"))
    show_values(prefix, WATCHED_VALUES[:1] + WATCHED_VALUES[2:3])
    return result


def devices_of(*results):
    """The instance IDs of the devices the harness runs installed."""
    return [line.split(": ", 1)[1] for result in results if result is not None
            for line in result.stdout.splitlines() if line.startswith("device: ")]


def show_removal(prefix, package, devices):
    """Removing the devices (DIF_REMOVE) leaves the package's filters in the
    class lists and their services behind; zkremove takes them off."""
    heading("Removing the package: DIF_REMOVE, then zkremove")
    for device in devices:
        result = prefix.harness(package + "\\zkcamera.inf", extra=["--device", device, "--remove"])
        print("%s removed (DIF_REMOVE): %s" % (
            device, "ok" if result.returncode == 0 else result.stderr.strip()))
    print("What the package left:")
    show_values(prefix, WATCHED_VALUES[:1] + WATCHED_VALUES[2:3])
    shutil.copy(os.path.join(BIN_DIR, "zkremove.exe"), prefix.unix(TOOLS))
    print("zkremove says:")
    result = prefix.run([TOOLS + "\\zkremove.exe"])
    print(result.stdout.replace("\r\n", "\n").rstrip())
    print("(exit status %d)" % result.returncode)
    show_values(prefix, WATCHED_VALUES[:1] + WATCHED_VALUES[2:3])


def main():
    heading("The %s build in a %s Wine prefix" % (ARCH, WINEARCH))
    if ARCH == "x64":
        print("(the 64-bit co-installer, as 64-bit Windows' device installer loads it)")
    try:
        prefix = Prefix("demo")
    except WineBootError as error:
        print("The demo cannot run: %s" % error)
        return 1
    try:
        prefix.install_tools()
        # The class keys a Windows installation has, so that the monitor's
        # filter entries land in both classes' lists as they would there.
        add_shipped_class_keys(prefix)
        package = prefix.stage_package()
        put_versioned(prefix, "v6_0_0_99", INSTALLED)
        put_versioned(prefix, "v6_0_0_100", SHARED_COPY)
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

        heading("Setup actions of [CamInstall]")
        print("component registered by: %s" % component_record(prefix))
        print("HKLM\\SOFTWARE\\Marvanto CameraSetupDone = %s"
              % prefix.reg_query("HKLM\\SOFTWARE\\Marvanto", "CameraSetupDone"))

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

        heading("Protected shared files")
        print("%s: %s (shared copy)" % (SHARED_COPY, file_version(prefix, SHARED_COPY)))
        print("%s: %s after the installation" % (INSTALLED, file_version(prefix, INSTALLED)))
        show_setup_entry(prefix)
        # The installation and the SetupEntryPoint run; then the pass with a
        # file in use and the second installation, in a log begun afresh.
        logs = [keep_log(prefix, "zkcoinst-install.log")]
        show_protected_file_in_use(prefix)
        again = show_monitor_with_its_file(prefix, package)
        logs.append(keep_log(prefix, "zkcoinst-later.log"))
        show_removal(prefix, package, devices_of(result, again))

        show_packaging(prefix)
        explain_logs(prefix, logs)
        return 0
    finally:
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
