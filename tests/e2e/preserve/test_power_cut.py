"""The replacement of a protected file under a power cut: the pass cut at each
of its file steps (before and after the step, and in the middle of a copy),
and a start-up that carries its list out a second time because the machine
lost power before it had cleared the list. After each cut, and after two
restarts, the installed name holds a whole old or a whole new copy; the second
restart changes nothing; and the next pass finishes the job and leaves nothing
of ours behind."""

import os
import re
import unittest

from e2e_support import TOOLS
from test_preserve import PENDING_KEY, SHARED, SYSTEM, WININIT, PreserveTestCase, fixture

TARGET = SYSTEM + "\\ZKUI2.dll"
OLD, NEW = fixture("v6_0_0_99"), fixture("v6_0_0_100")


class PowerCut(PreserveTestCase):

    def reset(self, route):
        folder = self.prefix.unix(SYSTEM)
        for entry in os.listdir(folder):
            if re.fullmatch(r"zkui2\.dll(\.new|\.old|\.zk\d+)?", entry.lower()):
                os.remove(os.path.join(folder, entry))
        self.put("v6_0_0_99", TARGET)
        self.put("v6_0_0_100", SHARED + "\\ZKUI2.dll")
        self.prefix.run(["reg", "delete", PENDING_KEY, "/v", "PendingFileRenameOperations", "/f"])
        for name in ("WinInit.ini", "wininit.bak"):
            path = self.prefix.unix("C:\\windows\\" + name)
            if os.path.exists(path):
                os.remove(path)
        if route == "wininit":
            self.write(WININIT, b"[boot]\r\n")

    def args(self, route):
        held = [] if route in ("now", "now-9x") else ["--hold", TARGET]
        return (["--wininit"] if route == "wininit" else []) + held

    def leftovers(self):
        return sorted(entry for entry in os.listdir(self.prefix.unix(SYSTEM))
                      if re.fullmatch(r"zkui2\.dll\.(new|old|zk\d+)", entry.lower()))

    def assert_whole(self, what):
        data = self.find(TARGET)
        self.assertIn(data, (OLD, NEW), "%s: the installed name holds %s" % (
            what, "nothing" if data is None else "a torn file"))
        return data

    def steps(self, route):
        self.reset(route)
        result = self.prefix.run([TOOLS + "\\restore_pass_driver.exe", "--count"] +
                                 self.args(route))
        return int(re.search(r"file steps: (\d+)", result.stdout).group(1))

    def cut_everywhere(self, route):
        if route == "now-9x":
            self.prefix.set_windows_version("restore_pass_driver.exe", "win98")
        count = self.steps(route)
        self.assertGreater(count, 0)
        cuts = [(kind, n) for n in range(1, count + 1)
                for kind in ("--cut-before", "--cut-after", "--tear")]
        for kind, n in cuts:
            what = "%s %s %d of %d" % (route, kind, n, count)
            with self.subTest(what):
                self.reset(route)
                self.prefix.run([TOOLS + "\\restore_pass_driver.exe", kind, str(n)] +
                                self.args(route))
                if route == "now-9x" and self.find(TARGET) is None:
                    # Without a replacing move the name is empty between the
                    # two moves; the old copy waits aside for the next pass.
                    self.assertEqual(OLD, self.find(TARGET + ".old"), what)
                else:
                    self.assert_whole(what + ", before the restart")
                self.prefix.reboot()
                if route != "now-9x":
                    after = self.assert_whole(what + ", after the restart")
                    self.prefix.reboot()
                    self.assertEqual(after, self.find(TARGET), what + ": the second restart")
                # The next pass puts back or finishes what the cut left, and
                # leaves nothing of ours behind.
                self.prefix.run([TOOLS + "\\restore_pass_driver.exe"] +
                                (["--wininit"] if route == "wininit" else []))
                self.assertEqual(NEW, self.find(TARGET), what + ": after the next pass")
                self.assertEqual([], self.leftovers(), what)

    def replayed_start(self, route):
        """The pass completes; the start-up carries the list out, loses power
        before clearing it, and carries it out again at the next start."""
        self.reset(route)
        self.drive(*self.args(route))
        if route == "wininit":
            listed = self.find(WININIT)
        else:
            listed = self.pending()
            self.assertIsNotNone(listed)
        self.prefix.reboot()
        self.assertEqual(NEW, self.find(TARGET))
        if route == "wininit":
            self.write(WININIT, listed)
        else:
            self.prefix.reg_add(PENDING_KEY, "PendingFileRenameOperations", "REG_MULTI_SZ", listed)
        self.prefix.reboot()
        self.assertEqual(NEW, self.find(TARGET), "after the list was carried out twice")
        self.prefix.reboot()
        self.assertEqual(NEW, self.find(TARGET), "the restart after that")

    def test_rename_list(self):
        self.cut_everywhere("rename-list")
        self.replayed_start("rename-list")

    def test_wininit(self):
        self.cut_everywhere("wininit")
        self.replayed_start("wininit")

    def test_immediate_replacement(self):
        self.cut_everywhere("now")

    def test_immediate_replacement_without_a_replacing_move(self):
        self.cut_everywhere("now-9x")


if __name__ == "__main__":
    unittest.main()
