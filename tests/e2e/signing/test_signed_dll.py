"""The co-installer as a package engineer ships it: signed in place by
scripts/sign.sh with a code-signing certificate made here for the test, its
signature checked by osslsigncode, and the example package installed with the
signed DLL exactly as with the one the build made."""

import os
import shutil
import subprocess
import tempfile
import unittest

from e2e_support import BIN_DIR, SOURCE_DIR, Prefix, without_timestamps

SIGN = os.path.join(SOURCE_DIR, "scripts", "sign.sh")
BUILT_DLL = os.path.join(BIN_DIR, "zkcoinst.dll")


def run(args):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=120, check=False)


def verify(dll, ca_file):
    return run(["osslsigncode", "verify", "-CAfile", ca_file, "-in", dll])


class SignedDll(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="zk-signing-")
        cls.key = os.path.join(cls.work, "throwaway.key")
        cls.cert = os.path.join(cls.work, "throwaway.pem")
        made = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=zkcoinst throwaway code signing", "-keyout", cls.key,
                    "-out", cls.cert, "-addext", "keyUsage=critical,digitalSignature",
                    "-addext", "extendedKeyUsage=codeSigning"])
        assert made.returncode == 0, made.stdout.decode("latin-1")
        cls.signed = os.path.join(cls.work, "zkcoinst.dll")
        shutil.copy(BUILT_DLL, cls.signed)
        cls.signing = run(["bash", SIGN, cls.signed, cls.key, cls.cert])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_the_dll_is_signed_in_place_and_verifies_against_the_certificate(self):
        self.assertEqual(0, self.signing.returncode, self.signing.stdout)
        with open(BUILT_DLL, "rb") as f:
            built = f.read()
        with open(self.signed, "rb") as f:
            signed = f.read()
        self.assertNotEqual(built, signed)
        checked = verify(self.signed, self.cert)
        self.assertEqual(0, checked.returncode, checked.stdout)
        self.assertIn(b"Signature verification: ok", checked.stdout)
        # The build's own DLL carries no signature: the check above is the
        # signature's, not the file's.
        self.assertNotEqual(0, verify(BUILT_DLL, self.cert).returncode)
        # A DLL signed already is refused and left as it is.
        again = run(["bash", SIGN, self.signed, self.key, self.cert])
        self.assertEqual(1, again.returncode, again.stdout)
        with open(self.signed, "rb") as f:
            self.assertEqual(signed, f.read())

    def install_example(self, name, dll):
        """The example package installed on Windows 7 with DLL as the
        co-installer: the harness's report, the log and the programs started."""
        prefix = Prefix(name)
        try:
            prefix.install_tools()
            shutil.copy(dll, prefix.system32)
            package = prefix.stage_package()
            result = prefix.harness(package + "\\zkcamera.inf", windows_version="win7")
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)
            with open(dll, "rb") as f:
                self.assertEqual(f.read(),
                                 prefix.read_bytes("C:\\windows\\system32\\zkcoinst.dll"))
            # The programs as started, without the folder each started in
            # (the folder of the harness's run, which is the prefix's own).
            started = [record[:2] for record in prefix.stub_records(wait_for=1)]
            return result.stdout, without_timestamps(prefix.log() or ""), started
        finally:
            prefix.close(keep=bool(os.environ.get("ZK_KEEP_PREFIX")))

    def test_the_example_installs_with_the_signed_dll_as_with_the_built_one(self):
        self.assertEqual(0, self.signing.returncode, self.signing.stdout)
        built = self.install_example("built-dll", BUILT_DLL)
        signed = self.install_example("signed-dll", self.signed)
        report, log, started = signed
        self.assertIn("DIF_INSTALLDEVICE (post-processing) -> 0x00000000", report)
        for line in ("   DIF Code: DIF_INSTALLDEVICE (Pro-processing) ---",
                     "   Section to register: CamInstall\r\n",
                     "   Launching - C:\\camera\\xwvalueadd.exe\r\n",
                     "   DIF Code: DIF_INSTALLDEVICE (Post-processing) ---",
                     "   DIF Code: DIF_NEWDEVICEWIZARD_FINISHINSTALL ---",
                     "   DIF Code: DIF_FINISHINSTALL_ACTION ---",
                     "Stop co-installer: [T]\r\n"):
            self.assertIn(line, log)
        self.assertEqual("C:\\camera\\xwvalueadd.exe", started[0][0])
        self.assertEqual(built, signed)


if __name__ == "__main__":
    unittest.main()
