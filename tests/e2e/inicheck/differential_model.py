"""What the checker predicts for a case and what the DLL did, in one form, so
that the differential test can compare them.

Both sides become the same record (Outcome): the log lines of the section run
(from "Section to register:" to the preserve pass), the registry values of
the sandbox and of the filter lists, the programs started, and the
web-update and finish-install lines. The prediction is read from zkinicheck's
report alone, taking the machine into account only where the report says
that the outcome depends on it ("if <file> is there", "only if that key
exists", "if <driver> is there").
"""

import re
from collections import Counter

from ini_generator import (SANDBOX_KEYS, SANDBOX_VALUES, STATIC_FILES, STUB_PROGRAMS, SYSTEM,
                           WINDOWS)

SERVICES = "SYSTEM\\CurrentControlSet\\Services\\"
CLASSES = "SYSTEM\\CurrentControlSet\\Control\\Class\\"
IMAGE_CLASS = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"
MEDIA_CLASS = "{4D36E96C-E325-11CE-BFC1-08002BE10318}"
VOLUME_CLASS = "{71A27CDD-812A-11D0-BEC7-08002BE2092F}"
# The filter lists the DLL may write: (class key, value, filter).
FILTER_LISTS = [(IMAGE_CLASS, "LowerFilters", "ZKUSBSta"), (MEDIA_CLASS, "LowerFilters", "ZKUSBSta"),
                (VOLUME_CLASS, "UpperFilters", "ZkClsUpr")]
REGSVR32 = SYSTEM + "\\regsvr32.exe"
KESTR = "C:\\Program Files\\Common Files\\marvshrd\\Kestr32.exe"
INI_PATH = SYSTEM + "\\zkcoinst.ini"
ELSE_ERROR = "; else not registered (an ERROR line)"


class Outcome:
    def __init__(self):
        self.section_log = []     # lines of the section run, without their indent
        self.registry = set()     # (key, value name, data) of the sandbox and filter lists
        self.services = set()     # filter services whose key was written
        self.starts = Counter()   # (program, command line) started
        self.kestr_starts = 0
        self.switch_errors = 0    # "Device section not found" lines
        self.switch_answers = set()
        self.finish_install = False

    def fields(self):
        return {"section log": self.section_log, "registry": sorted(self.registry),
                "filter services": sorted(self.services), "programs started":
                sorted(self.starts.items()), "web-update program starts": self.kestr_starts,
                "'Device section not found' lines": self.switch_errors,
                "switch answers": sorted(self.switch_answers),
                "finish-install action requested": self.finish_install}


def normal_path(path):
    """A file path as the file system compares it."""
    path = path.replace("/", "\\").lower()
    head = "\\\\" if path.startswith("\\\\") else ""
    return head + re.sub(r"\\+", "\\\\", path[len(head):])


def normal_key(path):
    """A registry key path as the registry compares it."""
    return re.sub(r"\\+", "\\\\", path).rstrip("\\").lower()


def leading_code(text):
    """The code as atoi reads it (saturating as the DLL's parser does)."""
    match = re.match(r"[ \t\n\v\f\r]*([+-]?)(\d+)", text)
    if not match:
        return 0
    value = int(match.group(2)) * (-1 if match.group(1) == "-" else 1)
    return max(-2**31, min(2**31 - 1, value))


def directory_part(path):
    cut = path.rfind("\\")
    return path[:cut] if cut >= 0 else ""


class Machine:
    """The files and keys a case runs with, as the test laid them out."""

    def __init__(self, case):
        self.files = {normal_path(p) for p in STATIC_FILES + STUB_PROGRAMS + case.present}
        self.programs = {normal_path(p) for p in STUB_PROGRAMS}
        self.keys = {normal_key(k) for k in SANDBOX_KEYS}
        for key in SANDBOX_KEYS:
            parts = key.split("\\")
            for n in range(2, len(parts)):
                self.keys.add(normal_key("\\".join(parts[:n])))
        self.values = {(normal_key(k), v.lower()): "dword:7" for k, v in SANDBOX_VALUES}

    def has_file(self, path):
        return normal_path(path) in self.files

    def registry_rows(self):
        rows = set()
        for key in self.keys:
            rows.add((key, "", "(key)"))
        for (key, name), data in self.values.items():
            rows.add((key, name, data))
        return rows


# -- the prediction -------------------------------------------------------------

def _setup_argument(text):
    comma = text.find(",")
    return text if comma < 0 else text[comma + 1:]


def _registration_lines(text, outcome, machine, result):
    """The log lines and starts of a line the checker says registers a file."""
    argument = _setup_argument(text)
    code = leading_code(text) if "," in text else 0
    written = argument
    condition = re.match(r"if (.*) is there: (.*)" + re.escape(ELSE_ERROR) + "$", outcome)
    lines = result.section_log
    if code in (10, 11):
        directory = WINDOWS if code == 10 else SYSTEM
        if outcome == "not run: path too long":
            lines.append("ERROR: The path %s\\%s is too long; not registered." % (directory,
                                                                                argument))
            return
        written = directory + "\\" + argument
    lines.append("File to register: " + written)
    lines.append("Path to File to register: " + directory_part(written))
    if outcome == "not run: path too long":
        lines.append("ERROR: The path %s\\%s is too long; not registered." % (SYSTEM, written))
        return
    if outcome.startswith("not registered: no file name holds a double quote"):
        lines.append("ERROR: %s is not in the system directory (%s\\%s); not registered." %
                     (written, SYSTEM, written))
        return
    if outcome.startswith("nothing") or outcome.startswith("the NoFNW switch"):
        return
    if condition:
        resolved, outcome = condition.group(1), condition.group(2)
        if not machine.has_file(resolved):
            lines.append("ERROR: %s is not in the system directory (%s); not registered." %
                         (written, resolved))
            return
    start = re.match(r'start ("(.*)\\regsvr32\.exe" /s "(.*)")$', outcome)
    server = re.match(r'start ("(.*)" /REGSERVER)$', outcome)
    refused = re.match(r"not run \((regsvr32|its /REGSERVER switch)\): (.*)$", outcome)
    if start or (refused and refused.group(1) == "regsvr32"):
        path = start.group(3) if start else None
        lines.append("File to register is a DLL or AX")
    elif server or refused:
        path = server.group(2) if server else None
    else:
        raise ValueError("unknown registration outcome: " + outcome)
    if path is None:
        # Refused: the path is the one the line built.
        path = condition.group(1) if condition else written
    in_process = bool(start) or (refused and refused.group(1) == "regsvr32")
    lines.append(("Register DLL: file = " if in_process else "Register EXE: file = ") + path)
    if refused:
        who = "Regsvr32DLL" if in_process else "Register EXE"
        if refused.group(2) == "the path holds a double quote":
            lines.append("ERROR: %s: A file name cannot hold a double quote; %s is not "
                         "registered" % (who, path))
        else:
            lines.append("ERROR: %s: The command line for %s is too long; not registered" %
                         (who, path))
        return
    command = (start or server).group(1)
    if in_process:
        result.starts[(normal_path(REGSVR32), command)] += 1
    elif normal_path(path) in machine.programs:
        result.starts[(normal_path(path), command)] += 1
    else:
        lines.append("ERROR: Register EXE: Failed to register %s (N)" % path)


def _registry_lines(text, outcome, machine, result):
    argument = _setup_argument(text)
    delete = leading_code(text) == 100
    action = "DeleteRegKeyHKLM" if delete else "CreateRegKeyHKLM"
    result.section_log.append("%s: %s " % (action, argument))
    if outcome == "ignored: no key path":
        result.section_log.append("WARNING: %s: %s names no key; line ignored." % (action,
                                                                                 argument))
        return
    match = re.match(r'(?:set|delete) (?:value "(.*)"|the default value) of HKLM\\(.*?)'
                     r'( to the DWORD 1 \(only if that key exists\))?$', outcome)
    if not match:
        return  # a key path that opens no key
    name, key = (match.group(1) or "").lower(), normal_key(match.group(2))
    if match.group(2).endswith(" ") or key not in machine.keys:
        return
    if delete:
        machine.values.pop((key, name), None)
    else:
        machine.values[(key, name)] = "dword:1"


def _filter_effects(driver, classes, machine, result, service, warning):
    result.services.add(service)
    if machine.has_file(driver):
        for guid, value, name in FILTER_LISTS:
            if guid in classes:
                machine.filters.add((guid, value, name))
    else:
        result.section_log.append(warning % driver)


def predict(case, report, machine):
    """The Outcome zkinicheck's REPORT predicts for CASE on MACHINE."""
    result = Outcome()
    machine.filters = set()
    lines = report.split("\n")
    device_class = "Video" if case.setup_class == "Image" else "Audio"
    not_run = []
    for line in lines:
        match = re.match(r"line \d+: (.*?) -> (.*)$", line)
        if match:
            text, outcome = match.group(1), match.group(2)
            if outcome.startswith("not run: cut to") or outcome == "not run: not read":
                not_run.append(text)
            elif outcome == "not run: line too long":
                result.section_log.append(
                    "ERROR: Line longer than 259 characters; not run: " + text)
            elif (outcome.startswith("set ") or outcome.startswith("delete ") or
                  outcome == "ignored: no key path" or
                  outcome == "nothing: a key path that begins with a backslash opens no key"):
                _registry_lines(text, outcome, machine, result)
            elif (outcome.startswith("start ") or outcome.startswith("if ") or
                  outcome.startswith("not run") or outcome.startswith("not registered") or
                  outcome.startswith("nothing:") or outcome.startswith("the NoFNW switch")):
                _registration_lines(text, outcome, machine, result)
            elif outcome.startswith("log only (DisableAutoPlay"):
                result.section_log.append(
                    "DisableAutoPlay: Not Supported in the Current Version of VORIVEZ ")
            elif outcome.startswith("install the storage class upper filter") or \
                    outcome.startswith("log only (the storage filter"):
                result.section_log.append("DisableUnsafeDialog: Going to Set Registry settings "
                                          "to disable unsafe dialog removal")
                if outcome.startswith("install"):
                    _filter_effects(SYSTEM + "\\drivers\\ZkClsUpr.sys", [VOLUME_CLASS], machine,
                                    result, "ZkClsUpr",
                                    "WARNING: InstallStorageClassFilter> %s is missing; "
                                    "ZkClsUpr is not added to the class filter lists.")
            elif outcome.startswith("copy "):
                result.section_log += ["Calling CopyHIDUSBDriver()...", "Copying File ",
                                       "From: %s\\hidusb.sys" % SYSTEM,
                                       "To: %s\\Drivers\\hidusb.sys" % SYSTEM]
                if machine.has_file(SYSTEM + "\\hidusb.sys"):
                    result.section_log.append("SHFileOperation() operation Succeeded ")
                else:
                    result.section_log.append(
                        "ERROR: SHFileOperation() operation Failed... Result - N")
            elif outcome == "the bandwidth monitor is not installed":
                result.section_log += ["Install Module check. " + _setup_argument(text),
                                       "Will not Install ROVudevid."]
            elif outcome == "log only (unknown module)":
                argument = _setup_argument(text)
                result.section_log += ["Install Module check. " + argument,
                                       "Unknow ModuleName:%s " % argument]
            elif outcome != "nothing":
                raise ValueError("unknown outcome: " + line)
            continue
        if line == "no lines: nothing runs":
            result.section_log.append(_missing_section_line(case, lines))
        elif line.startswith("bandwidth monitor: installed"):
            if not_run:
                result.section_log.append(
                    "WARNING: Section %s is longer than 500 characters; its lines from this one "
                    "on are not run: %s" % (case.section, not_run[0]))
                not_run = []
            result.section_log.append("Install bandwidth monitor.")
            _filter_effects(SYSTEM + "\\drivers\\ZKUSBSta.sys", [IMAGE_CLASS, MEDIA_CLASS],
                            machine, result, "ZKUSBSta",
                            "WARNING: RegisterROVudevidNT> %s is missing; ZKUSBSta is not added "
                            "to the class filter lists.")
        elif line.startswith("bandwidth monitor: not installed") and not_run:
            result.section_log.append(
                "WARNING: Section %s is longer than 500 characters; its lines from this one on "
                "are not run: %s" % (case.section, not_run[0]))
            not_run = []
        elif case.mode == "install":
            _predict_switch(line, device_class, result)
    result.registry = machine.registry_rows() | {
        (normal_key(CLASSES + guid), value.lower(), "multi:" + name)
        for guid, value, name in machine.filters}
    return result


def _missing_section_line(case, lines):
    for line in lines:
        quoted = re.findall(r'"((?:ERROR: )?Section .*? (?:not found !|doesn\'t exist in INI '
                            r'file\.))"', line)
        if line.startswith("warning: [") and quoted and (
                "] is not in the file: " in line or "] has no lines to run: " in line):
            if len(quoted) == 2:  # Windows 2000 and XP: an Image-class device's error
                return quoted[0] if case.mode == "install" and case.setup_class == "Image" \
                    else quoted[1]
            return quoted[0]
    raise ValueError("no log line for the missing section")


def _predict_switch(line, device_class, result):
    answer = re.match(r"web update, %s: \[(.*)\] %s=(.*) -> (on|off)$" % (device_class,
                                                                         device_class), line)
    if answer:
        result.switch_answers.add(
            "LaunchKestrForDeviceClass> Device section: CamInstall, selected section: " +
            answer.group(1))
        result.switch_answers.add("LaunchKestrForDeviceClass> %s is %s (%s)" % (
            device_class, answer.group(3), answer.group(2)))
        result.kestr_starts = 1 if answer.group(3) == "on" else 0
    errors = re.match(r'log, %s device: ".*" (once|twice|(\d+) times) ' % device_class, line)
    if errors:
        result.switch_errors = {"once": 1, "twice": 2}.get(errors.group(1)) or \
            int(errors.group(2))
    finish = re.match(r"finish-install action, %s device: (requested|not requested)" %
                      device_class, line)
    if finish:
        result.finish_install = finish.group(1) == "requested"


# -- what the DLL did -------------------------------------------------------------

def log_lines(data):
    """The messages of a log, without their indent."""
    text = data.decode("latin-1")
    return [line.rstrip("\r")[3:] for line in text.split("\r\n") if line.startswith("   ")]


def observe(case, log, registry, started, result):
    """The Outcome of a run from what the driver and the stub left behind."""
    found = Outcome()
    messages = log_lines(log)
    begin = next((i for i, m in enumerate(messages) if m.startswith("Section to register: ")),
                 None)
    if begin is not None:
        for message in messages[begin + 1:]:
            if message.startswith("Processing ") or message == "LaunchRegisteredApp:":
                break
            message = re.sub(r"^(ERROR: Register EXE: Failed to register .*) \(\d+\)$",
                             r"\1 (N)", message)
            message = re.sub(r"^(ERROR: SHFileOperation\(\) operation Failed\.\.\. Result -) .*$",
                             r"\1 N", message)
            found.section_log.append(message)
    for message in messages:
        if message.startswith("ERROR: LaunchKestrForDeviceClass> Device section not found"):
            found.switch_errors += 1
        elif message.startswith("LaunchKestrForDeviceClass> "):
            found.switch_answers.add(message)
    for row in registry.decode("latin-1").splitlines():
        key, name, data = row.split("\t")
        if key.lower().startswith(SERVICES.lower()):
            found.services.add(key[len(SERVICES):])
        else:
            found.registry.add((normal_key(key), name.lower(), data))
    for row in started.decode("latin-1").split("\r\n"):
        if not row:
            continue
        program, command, _ = row.split("\t")
        if normal_path(program) == normal_path(KESTR):
            found.kestr_starts += 1
        else:
            found.starts[(normal_path(program), command)] += 1
    found.finish_install = "finish-install action requested: yes" in result.decode("latin-1")
    return found


def differences(predicted, found, install_mode):
    """The fields in which the two Outcomes part, as (name, predicted, found)."""
    parted = []
    ours, theirs = predicted.fields(), found.fields()
    for name in ours:
        if not install_mode and name in ("web-update program starts", "switch answers",
                                         "'Device section not found' lines",
                                         "finish-install action requested"):
            continue
        if ours[name] != theirs[name]:
            parted.append((name, ours[name], theirs[name]))
    return parted
