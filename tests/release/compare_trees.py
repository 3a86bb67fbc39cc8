"""Compares two folders file by file: every file of either must be in both,
with the same bytes. Names each file that differs with the first offset where
it does, and each file that only one of them has. With --pairs, compares each
file with the one after it instead.

    compare_trees.py FOLDER_A FOLDER_B
    compare_trees.py --pairs FILE_A FILE_B [FILE_A FILE_B]...
"""

import os
import sys


def files(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def first_difference(a, b):
    with open(a, "rb") as one, open(b, "rb") as other:
        offset = 0
        while True:
            x, y = one.read(65536), other.read(65536)
            if x != y:
                n = min(len(x), len(y))
                at = next((i for i in range(n) if x[i] != y[i]), n)
                return offset + at
            if not x:
                return None
            offset += len(x)


def compare_pairs(paths):
    wrong = 0
    for a, b in zip(paths[0::2], paths[1::2]):
        at = first_difference(a, b)
        if at is None:
            print("same: %s and %s" % (a, b))
        else:
            print("FAIL: %s and %s differ, first at offset %d (0x%x)" % (a, b, at, at))
            wrong += 1
    return 1 if wrong else 0


def main():
    if sys.argv[1] == "--pairs":
        return compare_pairs(sys.argv[2:])
    a, b = sys.argv[1:3]
    in_a, in_b = files(a), files(b)
    wrong = 0
    for name in sorted(in_a ^ in_b):
        print("only in %s: %s" % (a if name in in_a else b, name))
        wrong += 1
    same = sorted(in_a & in_b)
    for name in same:
        at = first_difference(os.path.join(a, name), os.path.join(b, name))
        if at is not None:
            print("differs: %s, first at offset %d (0x%x)" % (name, at, at))
            wrong += 1
    if wrong:
        print("FAIL: %d of %d files are not the same in %s and %s"
              % (wrong, len(in_a | in_b), a, b))
        return 1
    print("%d files, byte for byte the same" % len(same))
    return 0


if __name__ == "__main__":
    sys.exit(main())
