"""Writes the release zip from a staged tree, the same bytes for the same
files: entries sorted by name, each with the time of SOURCE_DATE_EPOCH (the
commit's), mode 755 for what is executable and 644 for the rest, the same
compression, no directory entries and no extra fields.

    release_zip.py TREE ZIP

The entries are named TREE's own folder name and below, so that the zip
unpacks into a folder of its own.
"""

import os
import sys
import time
import zipfile


def main():
    tree, target = sys.argv[1:3]
    # A zip time cannot lie before 1980.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "0")), 315532800)
    stamp = time.gmtime(epoch)[:6]
    top = os.path.basename(os.path.normpath(tree))
    names = []
    for folder, _, files in os.walk(tree):
        for name in files:
            path = os.path.join(folder, name)
            names.append(os.path.relpath(path, tree).replace(os.sep, "/"))
    partial = target + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(names):
            path = os.path.join(tree, name)
            info = zipfile.ZipInfo(top + "/" + name, stamp)
            info.create_system = 3  # Unix: the modes below are read
            mode = 0o755 if os.access(path, os.X_OK) else 0o644
            info.external_attr = (0o100000 | mode) << 16
            with open(path, "rb") as data:
                archive.writestr(info, data.read(), compress_type=zipfile.ZIP_DEFLATED,
                                 compresslevel=9)
    os.replace(partial, target)
    print("%s: %d files" % (target, len(names)))


if __name__ == "__main__":
    main()
