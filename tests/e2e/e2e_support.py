"""Support for end-to-end tests: a fresh Wine prefix per test, the project's
programs inside it, and readers for what the co-installer left behind.

Only the standard library is used. The tests run from CTest with ZK_BUILD_DIR
(the windows or windows-x64 build folder), ZK_SOURCE_DIR (the repository) and
ZK_WINE_ARCH (x86 or x64, the build's processor) set. An x64 build runs in a
64-bit prefix through Wine's 64-bit loader, and never needs a 32-bit program.

Wine's first process in a prefix starts the prefix's services, and they keep
the standard output of whoever started them; so every Wine process here writes
to files, never to a pipe, and each prefix gets a server of its own that lives
until the test ends.
"""

import fcntl
import os
import shutil
import subprocess
import time
import unittest

BUILD_DIR = os.environ.get("ZK_BUILD_DIR", os.path.join(os.getcwd(), "build", "windows"))
ARCH = os.environ.get("ZK_WINE_ARCH", "x64" if BUILD_DIR.rstrip("/").endswith("-x64") else "x86")
# Debian's `wine` launcher takes the 32-bit loader whenever wine32 is
# installed, so a 64-bit prefix is driven through wine64 by name.
WINE = {"x86": "/usr/lib/wine/wine", "x64": "/usr/lib/wine/wine64"}[ARCH]
WINEARCH = {"x86": "win32", "x64": "win64"}[ARCH]
# The log's two texts that name the build's processor.
BITS_TEXT = {"x86": "32bit", "x64": "64bit"}[ARCH]
VIEW_TEXT = {"x86": "x32", "x64": "x64"}[ARCH]
# Where the example package keeps the co-installer of each processor.
PACKAGE_DLL_FOLDER = {"x86": "x86", "x64": "amd64"}
SOURCE_DIR = os.environ.get(
    "ZK_SOURCE_DIR", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
BIN_DIR = os.path.join(BUILD_DIR, "bin")
E2E_DIR = os.path.join(BUILD_DIR, "e2e")
BASE_PREFIX = os.path.join(E2E_DIR, "base-prefix")

IMAGE_CLASS = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"
MEDIA_CLASS = "{4D36E96C-E325-11CE-BFC1-08002BE10318}"

# The sample camera's hardware IDs: with its release, then without.
CAMERA_HWIDS = ["USB\\VID_1BCF&PID_2C6A&REV_0100&MI_00", "USB\\VID_1BCF&PID_2C6A&MI_00"]
TOOLS = "C:\\zktools"
STUB_RECORD = "C:\\zk_stub_record.txt"


# The class keys Windows ships for the camera's two setup classes, with their
# class names and descriptions. A new Wine prefix has the Image class key but
# not the MEDIA one, so a filter added to MEDIA's list would find no key.
SHIPPED_CLASS_KEYS = [
    (IMAGE_CLASS, "Image", "Imaging devices"),
    (MEDIA_CLASS, "MEDIA", "Sound, video and game controllers"),
]


def add_shipped_class_keys(prefix):
    """Gives PREFIX the setup class keys that Windows ships (SHIPPED_CLASS_KEYS)."""
    for guid, name, description in SHIPPED_CLASS_KEYS:
        key = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\" + guid
        prefix.reg_add(key, None, "REG_SZ", description)
        prefix.reg_add(key, "Class", "REG_SZ", name)


def catalog_names(inf_path):
    """The catalogs that the [Version] section of INF_PATH names
    (CatalogFile=, CatalogFile.NT=, CatalogFile.NTx86=, ...)."""
    names = []
    section = None
    with open(inf_path, encoding="latin-1") as f:
        for line in f:
            line = line.split(";", 1)[0].strip()
            if line.startswith("["):
                section = line.strip("[]").strip().lower()
            elif section == "version" and "=" in line:
                key, value = (part.strip() for part in line.split("=", 1))
                if key.lower().split(".", 1)[0] == "catalogfile" and value:
                    names.append(value.strip('"'))
    return names


def stand_in_catalogs(package):
    """Puts a stand-in file beside each INF of PACKAGE for every catalog it
    names that is not there.

    The catalog is made when a package is signed, so a package from the
    repository has none. Windows installs such a package as unsigned. Wine's
    SetupDiInstallDevice, which checks no signature, goes on when
    SetupCopyOEMInf fails, as it does when the catalog cannot be copied, and
    then reads a pointer that call never set: a 32-bit process faults there (a
    64-bit one, under Wine 8, happens not to). Wine copies the catalog without
    reading it, so any file of the name lets the installation through.
    """
    for name in os.listdir(package):
        if not name.lower().endswith(".inf"):
            continue
        for catalog in catalog_names(os.path.join(package, name)):
            path = os.path.join(package, catalog)
            if not os.path.exists(path):
                with open(path, "wb") as f:
                    f.write(b"stand-in for the catalog that signing makes; not a catalog\r\n")


class WineBootError(RuntimeError):
    """wineboot could not make a prefix; the message says why."""


def _wine_env(prefix):
    env = dict(os.environ)
    env.pop("WINELOADER", None)
    if ARCH == "x64":
        env["WINELOADER"] = WINE
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": WINEARCH,
        "WINEDEBUG": os.environ.get("ZK_WINEDEBUG", "-all"),
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        "DISPLAY": "",
    })
    return env


def _quiet(args, env, timeout=300):
    subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=timeout, check=False)


def ensure_base_prefix():
    """A booted prefix that every test copies; made once per build folder."""
    os.makedirs(E2E_DIR, exist_ok=True)
    with open(BASE_PREFIX + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(BASE_PREFIX, ".zk-ready")):
            shutil.rmtree(BASE_PREFIX, ignore_errors=True)
            env = _wine_env(BASE_PREFIX)
            log_path = BASE_PREFIX + ".boot.log"
            with open(log_path, "wb") as log:
                try:
                    boot = subprocess.run([WINE, "wineboot", "-i"], env=env,
                                          stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                          timeout=300, check=False)
                    status = boot.returncode
                except OSError as error:
                    status = error.strerror
            _quiet(["wineserver", "-w"], env)
            if status != 0 or not os.path.exists(os.path.join(BASE_PREFIX, "system.reg")):
                with open(log_path, "rb") as log:
                    tail = log.read().decode("latin-1").strip().splitlines()[-5:]
                raise WineBootError(
                    "%s wineboot -i could not create the %s prefix %s (%s); %s says:\n  %s"
                    % (WINE, WINEARCH, BASE_PREFIX, status, log_path, "\n  ".join(tail)))
            open(os.path.join(BASE_PREFIX, ".zk-ready"), "w").close()


class Result:
    def __init__(self, returncode, stdout, stderr):
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr


class Prefix:
    """A fresh copy of the base prefix, with its own Wine server."""

    def __init__(self, name):
        ensure_base_prefix()
        self.root = os.path.join(E2E_DIR, name)
        self.path = os.path.join(self.root, "prefix")
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.root)
        subprocess.run(["cp", "-a", BASE_PREFIX, self.path], check=True)
        self.env = _wine_env(self.path)
        self._runs = 0
        self.start_server()

    # -- life -------------------------------------------------------------
    def start_server(self):
        _quiet(["wineserver", "-p"], self.env)
        _quiet([WINE, "cmd", "/c", "exit"], self.env)

    def stop_server(self):
        _quiet(["wineserver", "-k"], self.env)
        _quiet(["wineserver", "-w"], self.env)

    def reboot(self):
        """Restarts the prefix as Windows restarts: pending renames are carried out."""
        _quiet([WINE, "wineboot", "-r"], self.env)
        self.stop_server()
        self.start_server()

    def close(self, keep=False):
        self.stop_server()
        if not keep:
            shutil.rmtree(self.root, ignore_errors=True)

    # -- paths ------------------------------------------------------------
    def unix(self, windows_path):
        """The Unix path of a C: or Z: path of this prefix."""
        drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/")
        if drive == "z":
            return rest
        if drive == "c":
            return os.path.join(self.path, "drive_c", rest.lstrip("/"))
        raise ValueError(windows_path)

    @staticmethod
    def windows(unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    @property
    def system32(self):
        return self.unix("C:\\windows\\system32")

    def put_driver_file(self, name):
        """Puts a stand-in driver file (its first bytes only) in
        C:\\windows\\system32\\drivers; returns its host path."""
        drivers = os.path.join(self.system32, "drivers")
        os.makedirs(drivers, exist_ok=True)
        path = os.path.join(drivers, name)
        with open(path, "wb") as f:
            f.write(b"MZ")
        return path

    # -- running ----------------------------------------------------------
    def run(self, args, cwd=None, extra_env=None, timeout=300):
        """Runs ARGS under Wine; output goes through files, never a pipe."""
        self._runs += 1
        out_path = os.path.join(self.root, "run%d.out" % self._runs)
        err_path = os.path.join(self.root, "run%d.err" % self._runs)
        env = dict(self.env)
        env["ZK_STUB_RECORD"] = STUB_RECORD
        if extra_env:
            env.update(extra_env)
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.run([WINE] + list(args), env=env, cwd=cwd or self.root,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout, check=False)
        with open(out_path, "rb") as out, open(err_path, "rb") as err:
            return Result(proc.returncode, out.read().decode("latin-1"),
                          err.read().decode("latin-1"))

    def set_windows_version(self, program, version):
        """Wine reports VERSION (win2k, winxp, vista, win7, win98...) to PROGRAM."""
        self.reg_add("HKCU\\Software\\Wine\\AppDefaults\\" + program, "Version", "REG_SZ",
                     version)

    def reg_add(self, key, name, kind, data):
        args = ["reg", "add", key, "/f"]
        if name is None:
            args += ["/ve"]
        else:
            args += ["/v", name]
        args += ["/t", kind, "/d", data]
        result = self.run(args)
        if result.returncode != 0:
            raise RuntimeError("reg add %s failed: %s" % (key, result.stderr))

    def reg_import(self, reg_file):
        result = self.run(["regedit", "/S", self.windows(reg_file)])
        if result.returncode != 0:
            raise RuntimeError("regedit of %s failed" % reg_file)

    def reg_query(self, key, name=None):
        """The data of a value as `reg query` prints it, or None."""
        args = ["reg", "query", key] + (["/v", name] if name is not None else ["/ve"])
        result = self.run(args)
        if result.returncode != 0:
            return None
        for line in result.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

    # -- the project's programs --------------------------------------------
    def install_tools(self):
        """The DLL into the system directory; the harness and the stub into C:\\zktools."""
        shutil.copy(os.path.join(BIN_DIR, "zkcoinst.dll"), self.system32)
        tools = self.unix(TOOLS)
        os.makedirs(tools, exist_ok=True)
        for name in ("install_harness.exe", "record_stub.exe"):
            shutil.copy(os.path.join(BIN_DIR, name), tools)

    def install_stub_as(self, windows_path):
        """The recording stub under the name the co-installer starts."""
        target = self.unix(windows_path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(os.path.join(BIN_DIR, "record_stub.exe"), target)

    def stage_package(self, source=None, at="C:\\camera", value_add=True):
        """A copy of a driver package (default: the example camera) at AT."""
        source = source or os.path.join(SOURCE_DIR, "examples", "camera")
        target = self.unix(at)
        shutil.copytree(source, target, dirs_exist_ok=True)
        stand_in_catalogs(target)
        if value_add:
            self.install_stub_as(at + "\\xwvalueadd.exe")
        return at

    def harness(self, inf, hwids=None, setup_class="Image", windows_version=None,
                extra=None, timeout=300):
        """Installs a device from INF through the harness; returns its Result."""
        if windows_version:
            self.set_windows_version("install_harness.exe", windows_version)
        args = [TOOLS + "\\install_harness.exe", "--inf", inf, "--class", setup_class,
                "--dll", "C:\\windows\\system32\\zkcoinst.dll"]
        for hwid in hwids or CAMERA_HWIDS:
            args += ["--hwid", hwid]
        args += list(extra or [])
        return self.run(args, timeout=timeout)

    # -- what was left behind ----------------------------------------------
    def read_bytes(self, windows_path):
        try:
            with open(self.unix(windows_path), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def log(self):
        """The install log as text, line ends kept as stored."""
        data = self.read_bytes("C:\\windows\\system32\\zkcoinst.log")
        return None if data is None else data.decode("latin-1")

    def stub_records(self, wait_for=0, seconds=10):
        """(program, command line, folder) of each start of the stub, in order.
        Programs are not waited for by the co-installer, so wait up to SECONDS
        for at least WAIT_FOR records."""
        deadline = time.time() + seconds
        while True:
            data = self.read_bytes(STUB_RECORD) or b""
            records = [tuple(line.split("\t")) for line in data.decode("latin-1").split("\r\n")
                       if line]
            if len(records) >= wait_for or time.time() > deadline:
                return records
            time.sleep(0.1)


def without_timestamps(text):
    import re
    return re.sub(r"\[[A-Z][a-z]{2} [A-Z][a-z]{2} \d{2} \d{1,2}:\d{2}:\d{2} \d{4}\]", "[T]", text)


class PrefixTestCase(unittest.TestCase):
    """A test case with a fresh prefix per test, the project's programs in it."""

    def setUp(self):
        name = self.id().split(".", 1)[-1].replace(".", "-")
        self.prefix = Prefix(name)
        self.prefix.install_tools()

    def tearDown(self):
        # ZK_KEEP_PREFIX=1 keeps the prefixes for a look after a failure.
        self.prefix.close(keep=bool(os.environ.get("ZK_KEEP_PREFIX")))
