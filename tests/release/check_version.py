"""Checks that every place that shows the version shows the project's VERSION:
the generated version_info.h (ZK_VERSION_*), CHANGELOG.md's top entry, the
version resource of each DLL given (the fixed numbers and the FileVersion and
ProductVersion strings) and, given, the release zip's name.

    check_version.py VERSION HEADER CHANGELOG [--dll DLL]... [--zip ZIP]
"""

import argparse
import os
import re
import struct
import sys


def header_version(path):
    text = open(path, encoding="ascii").read()
    numbers = []
    for part in ("MAJOR", "MINOR", "BUILD", "REVISION"):
        found = re.search(r"^#define ZK_VERSION_%s (\d+)$" % part, text, re.M)
        numbers.append(found.group(1) if found else "?")
    found = re.search(r'^#define ZK_VERSION_TEXT "([^"]*)"$', text, re.M)
    return ".".join(numbers), found.group(1) if found else "?"


def changelog_version(path):
    """The version of the first "## " heading: its first word."""
    for line in open(path, encoding="utf-8"):
        if line.startswith("## "):
            return line[3:].split()[0] if line[3:].split() else "?"
    return "none"


def resource_section(data):
    """The bytes of the image's .rsrc section, found through the section table."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    for i in range(sections):
        name, _, _, raw_size, raw_at = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            return data[raw_at:raw_at + raw_size]
    return b""


def dll_versions(path):
    """The fixed file and product versions of VS_FIXEDFILEINFO, and the
    FileVersion and ProductVersion strings of the version resource."""
    rsrc = resource_section(open(path, "rb").read())
    found = {}
    at = rsrc.find(struct.pack("<I", 0xFEEF04BD))
    if at >= 0:
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", rsrc, at + 8)
        for key, ms, ls in (("fixed file", file_ms, file_ls),
                            ("fixed product", product_ms, product_ls)):
            found[key] = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    for key in ("FileVersion", "ProductVersion"):
        # A String block: its key in UTF-16, padded to 32 bits, then the value.
        name = (key + "\0").encode("utf-16-le")
        at = rsrc.find(name)
        if at >= 0:
            at += len(name)
            at += (-at) % 4
            end = rsrc.find(b"\0\0", at)
            while end >= 0 and (end - at) % 2:
                end = rsrc.find(b"\0\0", end + 1)
            found[key] = rsrc[at:end].decode("utf-16-le")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("version")
    parser.add_argument("header")
    parser.add_argument("changelog")
    parser.add_argument("--dll", action="append", default=[])
    parser.add_argument("--zip")
    args = parser.parse_args()

    shown = []
    numbers, text = header_version(args.header)
    shown.append(("ZK_VERSION_MAJOR..REVISION in " + args.header, numbers))
    shown.append(("ZK_VERSION_TEXT in " + args.header, text))
    shown.append(("the top entry of " + args.changelog, changelog_version(args.changelog)))
    for dll in args.dll:
        versions = dll_versions(dll)
        for key in ("fixed file", "fixed product", "FileVersion", "ProductVersion"):
            shown.append(("%s version of %s" % (key, dll), versions.get(key, "none")))
    if args.zip:
        name = os.path.basename(args.zip)
        found = re.fullmatch(r"zkcoinst-(.*)\.zip", name)
        shown.append(("the name " + name, found.group(1) if found else "?"))

    wrong = [(where, value) for where, value in shown if value != args.version]
    for where, value in wrong:
        print("FAIL: %s is %s, not the project's VERSION %s" % (where, value, args.version))
    if wrong:
        return 1
    print("version %s everywhere: %s" % (args.version, "; ".join(where for where, _ in shown)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
