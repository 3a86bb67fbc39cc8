"""Runs every benchmark program in a scratch Wine prefix and prints a table.

    bash bench/run.sh [--against REV] [RUNS]
    python3 bench/run.py [--parts all|installation] [--against-dll PATH --against-rev NAME]
                         [RUNS]   (ZK_BUILD_DIR, ZK_WINE_ARCH set)

With --against-dll the installation overhead alternates that DLL (the one
built from revision NAME) too, and a line gives this tree's cut against it.

Figures are wall-clock times under Wine on this machine; they vary from run to
run and from machine to machine. Compare the two columns of one run, not runs
of different days.
"""

import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_support import ARCH, BIN_DIR, CAMERA_HWIDS, TOOLS, Prefix  # noqa: E402

_parser = argparse.ArgumentParser()
_parser.add_argument("--parts", choices=("all", "installation"), default="all")
_parser.add_argument("--against-dll", help="zkcoinst.dll of an earlier revision to compare with")
_parser.add_argument("--against-rev", default="base", help="that revision's name, for the labels")
_parser.add_argument("runs", nargs="?", type=int, default=30)
_options = _parser.parse_args()
RUNS = _options.runs
WINDOWS_VERSION = "win7"


def run(prefix, program, args):
    prefix.set_windows_version(program, WINDOWS_VERSION)
    result = prefix.run([TOOLS + "\\" + program] + args, timeout=1800)
    if result.returncode != 0:
        raise SystemExit("%s failed:\n%s%s" % (program, result.stdout, result.stderr))
    return result.stdout


def fields(line):
    """'name key value key value ...' -> (name, {key: value})"""
    parts = line.split()
    return parts[0], {parts[i]: float(parts[i + 1]) for i in range(1, len(parts) - 1, 2)
                      if _is_number(parts[i + 1])}


def _is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


def installation_overhead(prefix, inf, dlls):
    """DLLS: {label: path in the prefix}, alternated in this order."""
    hwids = []
    for hwid in CAMERA_HWIDS:
        hwids += ["--hwid", hwid]
    args = []
    for path in dlls.values():
        args += ["--dll", path]
    out = run(prefix, "install_bench.exe",
              ["--inf", inf, "--runs", str(RUNS), "--warmup", "3"] + hwids + args)
    times = {}
    for line in out.splitlines():
        name, values = fields(line)
        times[name] = values
    peaks = {}
    for label, path in dlls.items():
        out = run(prefix, "install_bench.exe",
                  ["--inf", inf, "--runs", "10", "--warmup", "1"] + hwids + ["--dll", path])
        for line in out.splitlines():
            name, values = fields(line)
            if "peak_working_set_kib" in values:
                peaks[label] = values["peak_working_set_kib"]
    rows = []
    for label, path in dlls.items():
        t = times[path]
        rows.append((label, t["inside_median_ms"], t["inside_p10_ms"], t["inside_p90_ms"],
                     t["whole_median_ms"], peaks.get(label, 0)))
    return rows


def shared_components_search(prefix):
    """RestoreNewerFiles on trees of 100, 1,000 and 10,000 directories against
    the bare walk: six FindFirstFileA/FindNextFileA walks, one version read
    per directory and walk."""
    out = run(prefix, "search_bench.exe", [])
    sizes, growth = [], {}
    for line in out.splitlines():
        name, values = fields(line)
        if name == "search_tree":
            sizes.append({"tree": values})
        elif name == "search_time":
            sizes[-1]["time"] = values
        elif name == "search_growth":
            growth[int(values["to"])] = values
    runs = ", ".join("%d" % s["time"]["runs"] for s in sizes)
    print("Shared-components search: RestoreNewerFiles against the floor, median of %s runs"
          % runs)
    print("%8s %7s %6s %12s %15s %12s %7s %14s" % (
        "dirs", "copies", "depth", "pass (ms)", "p10-p90 (ms)", "floor (ms)", "ratio",
        "pass/dir (us)"))
    for size in sizes:
        tree, t = size["tree"], size["time"]
        print("%8s %7d %6d %12.1f %7.1f-%-7.1f %12.1f %6.2fx %14.1f" % (
            "{:,}".format(int(tree["dirs"])), tree["copies"], tree["depth_max"],
            t["pass_median_ms"], t["pass_p10_ms"], t["pass_p90_ms"], t["floor_median_ms"],
            t["ratio"], t["pass_us_per_dir"]))
    for to in sorted(growth):
        g = growth[to]
        print("growth from %s to %s directories (x%.0f): pass x%.1f, floor x%.1f" % (
            "{:,}".format(int(g["from"])), "{:,}".format(to), g["dirs_factor"],
            g["pass_factor"], g["floor_factor"]))


def main():
    prefix = Prefix("bench")
    try:
        prefix.install_tools()
        for name in ("install_bench.exe", "log_alloc_bench.exe", "search_bench.exe",
                     "null_coinstaller.dll"):
            shutil.copy(os.path.join(BIN_DIR, name), prefix.unix(TOOLS))
        shutil.copytree(os.path.join(BIN_DIR, "search_fixtures"),
                        os.path.join(prefix.unix(TOOLS), "search_fixtures"))
        package = prefix.stage_package()

        dlls = {}
        if _options.against_dll:
            # Beside the harness rather than in the system directory: the
            # installed zkcoinst.dll stays this tree's, and a full path loads
            # the two same-named DLLs as two modules.
            base = os.path.join(prefix.unix(TOOLS), "base")
            os.makedirs(base)
            shutil.copy(_options.against_dll, os.path.join(base, "zkcoinst.dll"))
            dlls["zkcoinst.dll " + _options.against_rev] = TOOLS + "\\base\\zkcoinst.dll"
            this_tree = "zkcoinst.dll (this tree)"
        else:
            this_tree = "zkcoinst.dll"
        dlls[this_tree] = "C:\\windows\\system32\\zkcoinst.dll"
        dlls["do-nothing"] = TOOLS + "\\null_coinstaller.dll"
        width = max([14] + [len(label) for label in dlls])

        print("Installation overhead, %s build: %d installations each, alternating, Windows 7 (Wine)"
              % (ARCH, RUNS))
        print("%-*s %18s %18s %16s %16s" % (width, "co-installer", "inside calls (ms)",
                                            "p10-p90 (ms)", "whole inst. (ms)", "peak WS (KiB)"))
        rows = {row[0]: row for row in installation_overhead(prefix, package + "\\zkcamera.inf",
                                                             dlls)}
        for label, inside, p10, p90, whole, peak in rows.values():
            print("%-*s %18.3f %8.3f-%-9.3f %16.3f %16.0f"
                  % (width, label, inside, p10, p90, whole, peak))
        ours, nothing = rows[this_tree], rows["do-nothing"]
        if nothing[1] > 0:
            print("ratio inside calls: %.1fx, whole installation: %.2fx"
                  % (ours[1] / nothing[1], ours[4] / nothing[4]))
        if _options.against_dll:
            theirs = rows["zkcoinst.dll " + _options.against_rev]
            if theirs[1] > 0 and theirs[4] > 0:
                print("this tree vs %s: inside calls %+.1f%% (x%.2f), whole installation %+.1f%%"
                      % (_options.against_rev, (ours[1] / theirs[1] - 1) * 100,
                         ours[1] / theirs[1], (ours[4] / theirs[4] - 1) * 100))
        if _options.parts == "installation":
            return 0

        print()
        print("Log and allocator")
        out = run(prefix, "log_alloc_bench.exe", ["20000"])
        for line in out.splitlines():
            name, value = line.split()
            print("  %-36s %14s" % (name, "{:,.0f}".format(float(value))))

        print()
        shared_components_search(prefix)
        return 0
    finally:
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
