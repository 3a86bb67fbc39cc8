"""A seeded generator of zkcoinst.ini files and of the machine each is run on,
for the differential test: sections and their names, setup-action codes and
arguments, registry paths, comments, odd bytes, long lines and sections, case,
line ends and encodings. Case N of a seed is always the same case.

A case says how the DLL is run (SetupEntryPoint with a section name, or a
device installation of the test INF), on which Windows version, and which of
the files that the lines name are on the machine; the registry keys that the
lines name are the same for every case (SANDBOX, SANDBOX_KEYS).
"""

import random

SYSTEM = "C:\\windows\\system32"
WINDOWS = "C:\\windows"
INSTALL_SECTION = "CamInstall"
SANDBOX = "SOFTWARE\\ZkDiff"
# Keys of the sandbox before each run, and the DWORD values in them.
SANDBOX_KEYS = [SANDBOX + "\\A", SANDBOX + "\\B\\C"]
SANDBOX_VALUES = [(SANDBOX + "\\A", "Old"), (SANDBOX + "\\A", "Flag"), (SANDBOX + "\\B\\C", "Old")]

# Programs the test puts on the machine as the recording stub; files only
# some cases have (empty files: a registration started from one fails).
STUB_PROGRAMS = [SYSTEM + "\\zkdiffsrv.exe", "C:\\zkdiff\\tool.exe",
                 "C:\\zkdiff\\x.ax\\tool.exe"]
STATIC_FILES = [SYSTEM + "\\zkdiff.dll", SYSTEM + "\\zkdiff.ax", SYSTEM + "\\sub\\zkdiff.dll"]
TOGGLED_FILES = [SYSTEM + "\\drivers\\ZKUSBSta.sys", SYSTEM + "\\drivers\\ZkClsUpr.sys",
                 SYSTEM + "\\hidusb.sys", SYSTEM + "\\zkdiff2.dll", SYSTEM + "\\zkempty.exe"]

# Checker version, Wine's name for it, whether the device installer runs there.
VERSIONS = [("98", "win98", False), ("nt4", "nt40", False), ("2000", "win2k", True),
            ("xp", "winxp", True), ("2003", "win2003", True), ("vista", "vista", True),
            ("7", "win7", True), ("8", "win8", True)]
VERSION_NUMBERS = {"98": "4.10", "nt4": "4.0", "2000": "5.0", "xp": "5.1", "2003": "5.2",
                   "vista": "6.0", "7": "6.1", "8": "6.2"}

ENTRY_SECTIONS = ["SetupCam", "Other", "Cam\xe9ra", "", "Setup Cam", "KESTR.DevType"]

FILE_NAMES = [
    "zkdiff.dll", "zkdiff.ax", "zkdiff2.dll", "zkdiffsrv.exe", "zkempty.exe", "missing.dll",
    "missing.exe", "zkdiff.Dll", "zkdiff.ocx", "zkdiff.AX", "zkdiff.EXE", "nodot",
    "sub\\zkdiff.dll", "\\zkdiff.dll", "D:zkdiff.dll", "C:\\zkdiff\\tool.exe",
    "C:/zkdiff/tool.exe", "C:\\zkdiff\\missing.exe", "C:\\zkdiff\\x.ax\\tool.exe",
    "\\\\zkserver\\share\\zk.dll", "zkdiff.dll ; note", "'zkdiff.dll'", '"zkdiff.dll"',
    'zk"q.dll', "C:\\zk\"q.dll", "a.exe.dll", "zk di ff.dll", "zk\xe9.dll", "  zkdiff.dll",
]
REGISTRY_KEYS = [
    SANDBOX + "\\A", SANDBOX.lower() + "\\a", SANDBOX + "\\B\\C", SANDBOX + "\\Missing",
    "SOFTWARE\\\\ZkDiff\\A", SANDBOX + "\\A\\", " " + SANDBOX + "\\A", SANDBOX + "\\A ",
    "\\" + SANDBOX + "\\A", "\\\\" + SANDBOX + "\\A", "HKLM\\" + SANDBOX + "\\A",
    "HKEY_LOCAL_MACHINE\\" + SANDBOX + "\\A", "SOFTWARE/ZkDiff/A", "",
]
VALUE_NAMES = ["Flag", "Old", "New Value", "", "V\xe4lue", "Flag "]
WORDS = {99: ["DisableAutoPlay", "DisableAutoPlayNow", "DisableUnsafeDialog",
              "DisableUnsafeDialogX", "disableunsafedialog", "Other", ""],
         101: ["CopyHIDUSBDriver", "CopyHIDUSBDriver2", "CopyHidUsbDriver", ""],
         103: ["NO_ROVudevid", "NO_ROVudevid now", "no_rovudevid", "Other", ""]}
CODES = ["10", "11", "11", "11", "99", "100", "101", "102", "102", "103", "12", "0", " 11", "+11",
         "011", "0x0B", "11abc", "-11", "99999999999", "2147483659", ""]
SWITCH_VALUES = ["1", "0", "", "01", "10000", '"1"', "on", " 1", "'1'", "2"]


class Case:
    """One generated file and the run it gets."""

    def __init__(self, index):
        self.index = index
        self.version = "xp"
        self.mode = "entry"        # or "install"
        self.setup_class = "Image"  # of the installed device
        self.section = ""           # the name SetupEntryPoint gets, or the install section
        self.present = []           # TOGGLED_FILES on the machine for this run
        self.encoding = "ansi"      # ansi, utf16le, utf16le-nomark, utf8, utf16be
        self.text = ""              # the file as text (characters of code page 1252 for ANSI)
        self.ini = b""              # the file's bytes


def _one_of(rng, items):
    return items[rng.randrange(len(items))]


def _case_variant(rng, name):
    roll = rng.random()
    if roll < 0.15:
        return name.upper()
    if roll < 0.25:
        return name.lower()
    if roll < 0.3:
        return " " + name + " "
    return name


def _registry_argument(rng):
    if rng.random() < 0.08:
        return _one_of(rng, ["Flag", "\\Flag", "\\", "SOFTWARE\\ZkDiff\\A\\\\Flag"])
    return _one_of(rng, REGISTRY_KEYS) + "\\" + _one_of(rng, VALUE_NAMES)


def _long_name(rng, length):
    stem = "".join(_one_of(rng, "abcdefghij_") for _ in range(length))
    return stem + _one_of(rng, [".dll", ".exe", ".ax", ".txt"])


def _argument(rng, code):
    number = int(code) if code.strip().lstrip("+-").isdigit() and len(code) < 6 else None
    if number in WORDS:
        return _one_of(rng, WORDS[number])
    if number in (100, 102):
        return _registry_argument(rng)
    if rng.random() < 0.06:
        return _long_name(rng, rng.randrange(200, 262))
    return _one_of(rng, FILE_NAMES)


def _setup_line(rng, install_mode):
    roll = rng.random()
    if roll < 0.05:
        return _one_of(rng, ["; a comment", "   ; indented comment", "# 11,zkdiff.dll",
                             "// 11,zkdiff.dll", "=;x", "#hash"])
    if roll < 0.09:
        return _one_of(rng, ["NoFNW=1", "NoFNW = 01", "NoFNW=yes", "nofnw=1", "NoFNW",
                             "NoFNW=0", "Tool=zkdiffsrv.exe", "Page=zkdiff.dll", "=value",
                             "Video=1", "key = value"])
    if roll < 0.11:
        return _one_of(rng, ["", "   ", "\t", "[not a header", "\x1a"])
    if roll < 0.14:
        return "\x00" + _setup_line(rng, install_mode)
    code = _one_of(rng, CODES)
    if code == "":
        line = _argument(rng, "")
    else:
        line = code + "," + _argument(rng, code)
    roll = rng.random()
    if roll < 0.03:
        cut = rng.randrange(len(line) + 1)
        line = line[:cut] + "\x00" + line[cut:]
    elif roll < 0.08:
        line = _one_of(rng, [" ", "\t", "  "]) + line + _one_of(rng, ["", " ", "\t", "\x1a"])
    return line


def _section_lines(rng, install_mode, fewest=0):
    if rng.random() < 0.12:
        # Past the 500-character read, at times just at its end.
        lines = []
        total = 0
        target = rng.randrange(470, 560)
        while total < target:
            line = "11," + _long_name(rng, rng.randrange(5, 40))
            lines.append(line)
            total += len(line) + 1
        if rng.random() < 0.5 and total > 500:
            # Make the read end exactly where a line begins.
            excess = total - 498
            last = lines[-1]
            if len(last) - excess > 8:
                lines[-1] = last[:len(last) - excess - 4] + last[-4:]
        return lines
    return [_setup_line(rng, install_mode) for _ in range(rng.randrange(fewest, 9))]


def _switch_sections(rng, version):
    numbers = VERSION_NUMBERS[version]
    names = [INSTALL_SECTION + ".KESTR", INSTALL_SECTION + ".KESTR." + numbers, "KESTR.DevType",
             "KESTR.DevType." + numbers, "KESTR.DevType.5.01", "KESTR.DevType.6.1",
             "caminstall.kestr", INSTALL_SECTION + ".KESTR.5.1"]
    sections = []
    for _ in range(rng.randrange(0, 3)):
        keys = []
        for _ in range(rng.randrange(1, 3)):
            keys.append(_one_of(rng, ["Video", "Audio", "video", "AUDIO", "Video "]) + "=" +
                        _one_of(rng, SWITCH_VALUES))
        sections.append((_one_of(rng, names), keys))
    return sections


def _render(rng, sections, leading):
    ends = _one_of(rng, ["\r\n"] * 8 + ["\n", "\r", "mixed"])
    out = []
    for line in leading:
        out.append(line)
    for header, lines in sections:
        out.append(header)
        out.extend(lines)
    text = ""
    for line in out:
        end = _one_of(rng, ["\r\n", "\n", "\r"]) if ends == "mixed" else ends
        text += line + end
    if rng.random() < 0.1:
        text = text.rstrip("\r\n")
    return text


def _encode(rng, case):
    roll = rng.random()
    text = case.text
    if roll < 0.8:
        case.encoding = "ansi"
        return text.encode("latin-1")
    # Characters beyond ANSI for the Unicode files: some the code page has,
    # some it lacks.
    extra = _one_of(rng, ["", "\u20ac", "\u65e5\u672c", "\u0152", "\u00e9"])
    unicode_text = text.encode("latin-1").decode("cp1252", errors="replace")
    if extra:
        unicode_text = unicode_text.replace("zkdiff.dll", "zkdiff" + extra + ".dll", 1)
    if roll < 0.91:
        case.encoding = "utf16le"
        return b"\xff\xfe" + unicode_text.encode("utf-16-le")
    if roll < 0.95:
        case.encoding = "utf8"
        return b"\xef\xbb\xbf" + unicode_text.encode("utf-8")
    if roll < 0.97:
        case.encoding = "utf16be"
        return b"\xfe\xff" + unicode_text.encode("utf-16-be")
    case.encoding = "utf16le-nomark"
    return unicode_text.encode("utf-16-le")


def generate(seed, index, versions):
    """Case INDEX of SEED, on one of VERSIONS (checker names)."""
    rng = random.Random("%d/%d" % (seed, index))
    case = Case(index)
    choices = [v for v in VERSIONS if v[0] in versions]
    case.version, _, installs = _one_of(rng, choices)
    case.mode = "install" if installs and rng.random() < 0.45 else "entry"
    case.setup_class = _one_of(rng, ["Image", "Media"])
    case.section = INSTALL_SECTION if case.mode == "install" else _one_of(rng, ENTRY_SECTIONS)
    case.present = [name for name in TOGGLED_FILES if rng.random() < 0.6]

    sections = []
    wanted = case.section
    if rng.random() < 0.85 and (wanted or rng.random() < 0.5):
        header = "[" + _case_variant(rng, wanted) + "]"
        if rng.random() < 0.05:
            header = "[" + wanted + ".NT]"
        # The section run has lines more often than not.
        sections.append((header, _section_lines(rng, case.mode == "install",
                                                0 if rng.random() < 0.1 else 1)))
    for _ in range(rng.randrange(0, 3)):
        name = _one_of(rng, ENTRY_SECTIONS + [INSTALL_SECTION, ""])
        sections.append(("[" + _case_variant(rng, name) + "]",
                         _section_lines(rng, case.mode == "install")))
    if case.mode == "install" or rng.random() < 0.2:
        for name, keys in _switch_sections(rng, case.version):
            sections.append(("[" + name + "]", keys))
    rng.shuffle(sections)
    leading = []
    if rng.random() < 0.15:
        leading = [_one_of(rng, ["; comment", "11,zkdiff.dll", "NoFNW=1", "103,NO_ROVudevid",
                                 "102," + SANDBOX + "\\A\\Flag"])
                   for _ in range(rng.randrange(1, 3))]
    case.text = _render(rng, sections, leading)
    case.ini = _encode(rng, case)
    return case
