"""Companion programs in whole installations of the example camera: the
web-update program and the registered programs start at the steps of the
installation that the Windows version calls for, with the command lines the
recording stub saw."""

import unittest

from e2e_support import PrefixTestCase

COMMON_FILES = "C:\\Program Files\\Common Files"
# The command line names the folder in lower case; the file system finds the
# maker folder (Marvshrd) whatever the case.
KESTR = COMMON_FILES + "\\marvshrd\\Kestr32.exe"
MAKER_FOLDER = COMMON_FILES + "\\Marvshrd"
KESTR_ARGUMENTS = " -v 0x1bcf -p 0x2c6a -b 0x0100 -f Video -d 1.2.30.400 -m Marvanto"
APPS = MAKER_FOLDER + "\\Apps"
APPS_KEY = "HKLM\\SOFTWARE\\Marvanto\\ZKCoInstaller"

SWITCH_ON = "[KESTR.DevType]\r\nVideo=1\r\n"
SWITCH_OFF_NO_FNW = "[KESTR.DevType]\r\nVideo=0\r\n[CamInstall]\r\nNoFNW=1\r\n"


class CompanionPrograms(PrefixTestCase):

    def setUp(self):
        super().setUp()
        self.prefix.stage_package(value_add=False)
        self.prefix.install_stub_as(MAKER_FOLDER + "\\Kestr32.exe")
        self.prefix.install_stub_as(APPS + "\\regapp.exe")

    def control_file(self, text):
        with open(self.prefix.system32 + "/zkcoinst.ini", "w", newline="") as f:
            f.write(text)

    def register(self, entry, parameters, pre, post):
        key = APPS_KEY + "\\" + entry
        self.prefix.reg_add(key, "Path", "REG_SZ", "%43%\\%L%\\Apps")
        self.prefix.reg_add(key, "Name", "REG_SZ", "regapp.exe")
        self.prefix.reg_add(key, "Parameters", "REG_SZ", parameters)
        self.prefix.reg_add(key, "PreInstall", "REG_DWORD", str(pre))
        self.prefix.reg_add(key, "PostInstall", "REG_DWORD", str(post))

    def install(self, version):
        result = self.prefix.harness("C:\\camera\\zkcamera.inf", windows_version=version)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        return result

    def started(self, count):
        records = self.prefix.stub_records(wait_for=count)
        return sorted(command_line for _program, command_line, _folder in records)

    def step_of(self, log, line):
        """The DIF line under which LINE was logged."""
        at = log.index(line)
        start = log.rindex("DIF Code: ", 0, at)
        return log[start:log.index(" -", start)]

    def test_before_vista_the_web_update_program_starts_when_the_set_is_destroyed(self):
        self.control_file(SWITCH_ON)
        result = self.install("winxp")
        self.assertIn("finish-install action requested: no", result.stdout)
        self.assertEqual(['"%s"%s' % (KESTR, KESTR_ARGUMENTS)], self.started(1))
        log = self.prefix.log()
        self.assertEqual("DIF Code: DIF_DESTROYPRIVATEDATA",
                         self.step_of(log, "KESTR> Successfully launched Kestr32.exe.\r\n"))
        self.assertIn("   LaunchKestrForDeviceClass> Device section: CamInstall, "
                      "selected section: KESTR.DevType\r\n"
                      "   LaunchKestrForDeviceClass> Video is on (1)\r\n", log)

    def test_from_vista_on_the_web_update_program_starts_at_the_finish_install_action(self):
        self.control_file(SWITCH_ON)
        result = self.install("win7")
        self.assertIn("finish-install action requested: yes", result.stdout)
        self.assertEqual(['"%s"%s' % (KESTR, KESTR_ARGUMENTS)], self.started(1))
        self.assertEqual("DIF Code: DIF_FINISHINSTALL_ACTION",
                         self.step_of(self.prefix.log(),
                                      "KESTR> Successfully launched Kestr32.exe.\r\n"))

    def test_switched_off_nothing_starts(self):
        self.control_file("[KESTR.DevType]\r\nVideo=0\r\n")
        self.install("winxp")
        self.assertEqual([], self.prefix.stub_records(wait_for=1, seconds=3))
        self.assertIn("   LaunchKestrForDeviceClass> Video is off (0)\r\n", self.prefix.log())

    def registered_programs_in(self, version, control, finish_requested):
        self.control_file(control)
        self.register("ZK ValueAdd", "-pre", 1, 0)
        self.register("cam_pid_2c6a_mi_00", "-post", 0, 1)
        self.register("cam_pid_2c6a_mi_01", "-other-interface", 1, 1)
        result = self.install(version)
        self.assertIn("finish-install action requested: %s" % finish_requested, result.stdout)
        expected = ['"%s\\regapp.exe" -post' % APPS, '"%s\\regapp.exe" -pre' % APPS]
        if control == SWITCH_ON:
            expected.append('"%s"%s' % (KESTR, KESTR_ARGUMENTS))
        self.assertEqual(sorted(expected), self.started(len(expected)))
        log = self.prefix.log()
        steps = {}
        for option in ("-pre", "-post"):
            steps[option] = self.step_of(
                log, '   Launching File - "%s\\regapp.exe" %s\r\n' % (APPS, option))
        return steps

    def test_registered_programs_before_vista_start_in_pre_and_post_processing(self):
        steps = self.registered_programs_in("winxp", SWITCH_ON, "no")
        self.assertEqual("DIF Code: DIF_INSTALLDEVICE (Pro-processing)", steps["-pre"])
        self.assertEqual("DIF Code: DIF_INSTALLDEVICE (Post-processing)", steps["-post"])

    def test_registered_post_install_programs_wait_for_the_finish_install_action(self):
        steps = self.registered_programs_in("win7", SWITCH_ON, "yes")
        self.assertEqual("DIF Code: DIF_INSTALLDEVICE (Pro-processing)", steps["-pre"])
        self.assertEqual("DIF Code: DIF_FINISHINSTALL_ACTION", steps["-post"])

    def test_without_a_finish_install_action_post_install_programs_start_at_once(self):
        steps = self.registered_programs_in("win7", SWITCH_OFF_NO_FNW, "no")
        self.assertEqual("DIF Code: DIF_INSTALLDEVICE (Post-processing)", steps["-post"])

    def test_without_switch_sections_each_question_logs_the_missing_section(self):
        # What the checker predicts for a package without web update: the
        # ERROR line once per installation before Vista, twice on Windows 7
        # with NoFNW=1 (no finish-install action asks a third time).
        self.control_file("[CamInstall]\r\nNoFNW=1\r\n")
        line = ("   ERROR: LaunchKestrForDeviceClass> Device section not found in "
                "'C:\\windows\\system32\\zkcoinst.ini'.\r\n")
        self.install("winxp")
        self.assertEqual(1, self.prefix.log().count(line))
        self.install("win7")
        self.assertEqual(1 + 2, self.prefix.log().count(line))

    def test_the_example_entries_start_with_a_quoted_maker_folder_path(self):
        # The example's post-install tool gets its INI path in quotes, so the
        # blanks of Common Files do not split it; the maker folder is found
        # all the same.
        self.control_file("[KESTR.DevType]\r\nVideo=0\r\n")
        tools = MAKER_FOLDER + "\\Tools"
        for program in ("zktools.exe", "campre.exe"):
            self.prefix.install_stub_as(tools + "\\" + program)
        self.prefix.reg_import(self.prefix.unix("C:\\camera\\registered_programs.reg"))
        self.install("winxp")
        self.assertEqual(['"%s\\campre.exe" -prepare' % tools,
                          '"%s\\zktools.exe" "%s\\zktools.ini"' % (tools, tools)],
                         self.started(2))


if __name__ == "__main__":
    unittest.main()
