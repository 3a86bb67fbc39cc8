"""The texts the DLL writes into zkcoinst.log, read from its sources: the
format of every LogMessage call (and of every ZK_PRINTF, which writes to the
standard output), its string literals joined and its string macros put in.
A macro defined more than once (once per build) gives one text per
definition. Used by the test of zklogcheck, which must know every ERROR and
WARNING text of them."""

import itertools
import os
import re

CALLS = ("LogMessage", "ZK_PRINTF")

_TOKEN = re.compile(r'''
    (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>"(?:[^"\\\n]|\\.)*")
  | (?P<char>'(?:[^'\\\n]|\\.)*')
  | (?P<name>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<punct>[(),;])
  | (?P<other>\S)
''', re.S | re.X)

_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def decode(literal):
    """The text of a C string literal (with its quotes)."""
    body = literal[1:-1]
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == "\\":
            i += 1
            out.append(_ESCAPES.get(body[i], body[i]))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def tokens(text):
    for match in _TOKEN.finditer(text):
        kind = match.lastgroup
        if kind != "comment":
            yield kind, match.group(kind), text.count("\n", 0, match.start()) + 1


def _sources(src_dir):
    for folder, _, files in sorted(os.walk(src_dir)):
        for name in sorted(files):
            # A .h.in is a header the build writes (version_info.h).
            if name.endswith((".cpp", ".h", ".h.in")):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as handle:
                    yield path, handle.read()


def string_macros(src_dir):
    """NAME -> [text, ...]: every #define of a name as string literals."""
    macros = {}
    pattern = re.compile(r'^\s*#\s*define\s+([A-Za-z_]\w*)\s+((?:"(?:[^"\\\n]|\\.)*"\s*)+)$', re.M)
    for _, text in _sources(src_dir):
        for match in pattern.finditer(text.replace("\\\n", " ")):
            joined = "".join(decode(s) for s in re.findall(r'"(?:[^"\\\n]|\\.)*"', match.group(2)))
            macros.setdefault(match.group(1), [])
            if joined not in macros[match.group(1)]:
                macros[match.group(1)].append(joined)
    return macros


def log_texts(src_dir):
    """[(text, "path:line"), ...] for every format of a log call, in source order."""
    macros = string_macros(src_dir)
    found = []
    for path, text in _sources(src_dir):
        stream = list(tokens(text))
        for i, (kind, value, line) in enumerate(stream):
            if kind != "name" or value not in CALLS:
                continue
            if i + 1 >= len(stream) or stream[i + 1][1] != "(":
                continue
            # The format: the first argument of ZK_PRINTF, the second of LogMessage.
            j = i + 2
            if value == "LogMessage":
                depth = 0
                while j < len(stream) and not (depth == 0 and stream[j][1] == ","):
                    depth += {"(": 1, ")": -1}.get(stream[j][1], 0)
                    if depth < 0:
                        break
                    j += 1
                j += 1
            parts = []
            while j < len(stream) and (stream[j][0] == "string" or
                                       (stream[j][0] == "name" and stream[j][1] in macros)):
                parts.append([decode(stream[j][1])] if stream[j][0] == "string"
                             else macros[stream[j][1]])
                j += 1
            if not parts:
                continue  # the declaration or definition of the call itself
            where = "%s:%d" % (os.path.relpath(path, os.path.dirname(src_dir)), line)
            for variant in itertools.product(*parts):
                found.append(("".join(variant), where))
    return found


def error_and_warning_texts(src_dir):
    """The texts of log_texts that start "ERROR:" or "WARNING:", each once."""
    seen = {}
    for text, where in log_texts(src_dir):
        if text.startswith(("ERROR:", "WARNING:")) and text not in seen:
            seen[text] = where
    return list(seen.items())


if __name__ == "__main__":
    import sys
    for text, where in error_and_warning_texts(sys.argv[1]):
        print("%-45s %r" % (where, text))
