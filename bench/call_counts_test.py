"""The relay-trace counter on literal lines of Wine's trace formats:
python3 -m unittest discover -s bench -p '*_test.py'"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from call_counts import RelayCounter, image_size  # noqa: E402

LOADED = ('00e8:00ec:trace:loaddll:build_module Loaded L"C:\\\\windows\\\\system32\\\\'
          'zkcoinst.dll" at 000000031BE50000: native\n')
UNLOADED = ('00e8:00ec:trace:loaddll:free_modref Unloaded module '
            'L"C:\\\\windows\\\\system32\\\\zkcoinst.dll" : native\n')


def feed(counter, *lines):
    for line in lines:
        counter.feed(line)
    return counter


class RelayCounterTest(unittest.TestCase):
    def test_counts_calls_returning_into_the_image_only(self):
        counter = feed(
            RelayCounter("zkcoinst.dll", 0x4B000),
            "00e8:00ec:Call KERNEL32.ReleaseMutex(00000040) ret=7b024713\n",
            LOADED,
            "00e8:00ec:Call setupapi.SetupDiGetSelectedDriverA(0011c0a0,0021f5d8,0021f5e0) "
            "ret=31be5a000\n",
            "00e8:00ec:Call KERNEL32.ReleaseMutex(00000040) ret=000000031be9afff\n",
            # one past the image's end, and the harness's own call
            "00e8:00ec:Call KERNEL32.ReleaseMutex(00000040) ret=000000031be9b000\n",
            "00e8:00ec:Call setupapi.SetupDiGetSelectedDriverA(1,2,3) ret=140001234\n")
        self.assertTrue(counter.loaded)
        self.assertEqual(counter.counts(), {"SetupDiGetSelectedDriverA": 1, "ReleaseMutex": 1})

    def test_other_processes_and_unloaded_images_do_not_count(self):
        counter = feed(
            RelayCounter("ZKCOINST.DLL", 0x4B000), LOADED,
            "00f8:00fc:Call KERNEL32.ReleaseMutex(00000040) ret=31be51000\n",
            "00e8:00f0:Call KERNEL32.ReleaseMutex(00000040) ret=31be51000\n",
            UNLOADED,
            "00e8:00ec:Call KERNEL32.ReleaseMutex(00000040) ret=31be51000\n")
        self.assertEqual(counter.own, {"ReleaseMutex": 1})

    def test_entry_point_lines_and_arguments_with_parentheses(self):
        counter = feed(
            RelayCounter("zkcoinst.dll", 0x4B000), LOADED,
            '00e8:00ec:Call PE DLL (proc=000000031BE51320,module=000000031BE50000 '
            'L"zkcoinst.dll",reason=PROCESS_ATTACH,res=0000000000000000)\n',
            '00e8:00ec:Call KERNEL32.GetPrivateProfileStringA("a (b)",00000000,"x) ret=1",'
            '0021f5d8,00000104,"C:\\\\w\\\\zkcoinst.ini") ret=31be52000\n',
            "00e8:00ec:Ret  KERNEL32.GetPrivateProfileStringA() retval=00000000 ret=31be52000\n")
        self.assertEqual(counter.own, {"GetPrivateProfileStringA": 1})

    def test_without_a_load_line_every_call_of_the_first_process_counts(self):
        counter = feed(
            RelayCounter("zkcoinst.dll", 0x4B000),
            "0024:Call KERNEL32.ReleaseMutex(00000040) ret=7b024713\n",
            "0024:Call setupapi.SetupDiGetSelectedDriverA(1,2,3) ret=10001234\n",
            "err:module:import_dll Library foo.dll not found\n")
        self.assertFalse(counter.loaded)
        self.assertEqual(counter.counts(), {"ReleaseMutex": 1, "SetupDiGetSelectedDriverA": 1})


class ImageSizeTest(unittest.TestCase):
    def test_reads_size_of_image_of_pe32_and_pe32_plus(self):
        import tempfile
        for magic in (0x10B, 0x20B):
            header = bytearray(0x200)
            header[0:2] = b"MZ"
            header[0x3C:0x40] = (0x80).to_bytes(4, "little")
            header[0x80:0x84] = b"PE\0\0"
            header[0x98:0x9A] = magic.to_bytes(2, "little")
            header[0x98 + 56:0x98 + 60] = (0x4B000).to_bytes(4, "little")
            with tempfile.NamedTemporaryFile(suffix=".dll", delete=False) as f:
                f.write(header)
            try:
                self.assertEqual(image_size(f.name), 0x4B000)
            finally:
                os.unlink(f.name)


if __name__ == "__main__":
    unittest.main()
