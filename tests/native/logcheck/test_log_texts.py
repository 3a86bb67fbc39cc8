"""zklogcheck against the DLL's own sources: every text that src/ writes into
zkcoinst.log must be one the explainer knows, every ERROR and WARNING text
must be in the reference with its cause and fix, and a log that holds each of
them, written as the DLL writes it, must come out explained line by line.

    python3 test_log_texts.py SRC_DIR REFERENCE_MD WORK_DIR [EMULATOR...] ZKLOGCHECK
"""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dll_log_texts import error_and_warning_texts, log_texts  # noqa: E402

SECTION = "## ERROR and WARNING texts"
# What each conversion is filled with in the generated log.
SAMPLES = {"s": "C:\\windows\\system32\\zksample.dll", "d": "5", "i": "5", "u": "7",
           "x": "20", "X": "20"}
SYSTEM_TEXT = "The process cannot access the file because it is being used by another process.\r\n"
CONVERSION = re.compile(r"%([-+ #0]*)(\d*|\*)?(\.(\d+|\*))?([sdiuxX%])")


def run(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    return result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n")


def unescape(text):
    return (text.replace("\\\\", "\0").replace("\\n", "\n").replace("\\r", "\r")
            .replace("\\t", "\t").replace("\0", "\\"))


def printed(format_text):
    """The message as printf would print it with the samples."""
    def fill(match):
        if match.group(5) == "%":
            return "%"
        value = SAMPLES[match.group(5)]
        width = match.group(2)
        if width and width != "*" and len(value) < int(width):
            value = ("0" if "0" in match.group(1) else " ") * (int(width) - len(value)) + value
        return value
    return CONVERSION.sub(fill, format_text)


def main():
    src, reference, work = sys.argv[1], sys.argv[2], sys.argv[3]
    program = sys.argv[4:]
    failures = []

    status, listing = run(program + ["--messages"])
    known = {unescape(line.split("\t", 1)[1]): line.split("\t", 1)[0]
             for line in listing.splitlines() if "\t" in line}
    if status != 0 or not known:
        failures.append("zklogcheck --messages failed (%d)" % status)

    sources = log_texts(src)
    for text, where in sources:
        if text not in known:
            failures.append("%s: the text %r is not known to zklogcheck (tools/logcheck/"
                            "log_texts.cpp)" % (where, text))
    ours = set(text for text, _ in sources)
    for text, kind in known.items():
        if kind in ("error", "warning") and text not in ours:
            failures.append("zklogcheck knows the %s %r, which src/ no longer writes" % (kind, text))

    with open(reference, encoding="utf-8") as handle:
        document = handle.read()
    start = document.find(SECTION + "\n")
    end = document.find("\n## ", start + 1)
    section = document[start:end if end > 0 else len(document)] if start >= 0 else ""
    if not section:
        failures.append("%s has no section %r" % (reference, SECTION))
    status, listed = run(program + ["--reference"])
    if listed.strip() not in section:
        failures.append("the list in %s differs from what zklogcheck --reference prints: put "
                        "that output in its place" % reference)
    for text, where in error_and_warning_texts(src):
        if "- `%s`" % text.rstrip("\r\n") not in section:
            failures.append("%s: the text %r is not listed in %s" % (where, text, reference))

    # A log with every ERROR and WARNING text, as the DLL writes it.
    texts = [text for text, _ in error_and_warning_texts(src)]
    log = ("Tool Name: Audio/Video Coinstaller for 32bit (zkci11701196.dll)\r\n"
           "Tool Version: 11.70.1196.0 (debug)\r\nLog Format Version: 01\r\n\r\n"
           "Start Log File: [Dec Tue 08 5:16:55 2026]\r\n\r\n"
           "Start co-installer: [Dec Tue 08 5:16:55 2026]\r\n"
           "   Binary: ZKCi11701196.dll version: 11.70.1196.0 (debug)\r\n")
    for text in texts:
        message = printed(text)
        if not text.endswith("\n") and text.endswith("%s"):
            message += SYSTEM_TEXT  # the system's text closes the line
        log += ("   " + message).replace("\n", "\r\n")
    log += "\r\nStop co-installer: [Dec Tue 08 5:16:56 2026]\r\n\r\n"
    path = os.path.join(work, "every_error_and_warning.log")
    with open(path, "wb") as handle:
        handle.write(log.encode("latin-1"))
    status, explained = run(program + [path])
    if status != 1:
        failures.append("zklogcheck on %s: exit status %d, not 1" % (path, status))
    # The report wraps its lines: compared with every run of blanks as one.
    flat = " ".join(explained.split())
    for text in texts:
        line = " ".join(printed(text).split())
        if ": %s cause: " % line not in flat and ": %s%s cause: " % (
                line, " ".join(SYSTEM_TEXT.split())) not in flat:
            failures.append("zklogcheck does not explain %r in %s" % (line, path))
    for failure in failures:
        print("FAIL: " + failure)
    print("%d texts of src/ (%d ERROR and WARNING texts) checked: %s"
          % (len(ours), len(texts), "%d failures" % len(failures) if failures else "all known"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
