#!/usr/bin/env python3
"""seedtree at network scale: list, stationxml, volume, check and site on
generated networks, with wall time and peak memory beside the floor of the
same bytes, and a second build (the one before a change) side by side.

The networks: one station of bench/batch.py's design (12 channels, 5
epochs, a poles-zeros stage, a digitizer and three FIRs of 200, 300 and
400 taps per channel epoch) made by Mebrisk, then copied by
bench/make_network.py to 10, 50 and 200 stations (60 channel epochs each).
With --lookup the FIRs go into H.A and the responses refer to them
(USE_LOOKUP=1), as shared filters.

The floor of a command: cat of every file of the tree, plus for a command
that writes a file the writing of as many bytes, synced (dd conv=fsync).
The outputs of both builds are compared byte for byte (the site's SVG
plots aside, which are drawn anew); a difference is reported.

Usage: bench/seedtree_scale.py [--build DIR] [--before SEEDTREE] [--stations 10,50,200]
                               [--lookup] [--no-site-before-above N]
Prints a table; it measures, it is not a test. Needs GNU time (/usr/bin/time).
"""

import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import batch  # noqa: E402  (the network's design)

ENV = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")


def timed(args, stdout=subprocess.DEVNULL, ok=(0,)):
    """Wall seconds, peak resident KiB and CPU seconds (user and system,
    children included) of one run (GNU time). On a shared machine the CPU
    seconds are the steadier figure."""
    with tempfile.NamedTemporaryFile("r") as report:
        run = subprocess.run(["/usr/bin/time", "-f", "%e %M %U %S", "-o", report.name] + args, env=ENV,
                             stdout=stdout, stderr=subprocess.PIPE)
        if run.returncode not in ok:
            sys.exit("failed: %s\n%s" % (" ".join(args), run.stderr.decode()[-2000:]))
        seconds, kib, user, system = report.read().split("\n")[-2].split()  # after "Command exited with ..."
        return float(seconds), int(kib), float(user) + float(system)


def make_source(build, work, lookup):
    """One station of batch.py's design, as Mebrisk writes its tree."""
    db = os.path.join(work, "one.db")
    batch.make_database(db, [0])
    with open(os.path.join(work, "req"), "w") as f:
        f.write(batch.request([0]))
    tree = os.path.join(work, "source")
    env = dict(os.environ, RESPONSE_DB=db, DATA_ROOT=tree)
    if lookup:
        env["USE_LOOKUP"] = "1"
    run = subprocess.run([os.path.join(build, "bin", "Mebrisk")], env=env, cwd=work, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    if run.returncode != 0:
        sys.exit("Mebrisk failed: %s" % run.stderr.decode()[-2000:])
    return tree


def tree_files(tree):
    return sorted(os.path.join(d, f) for d, _, names in os.walk(tree) for f in names)


def size_of(path):
    if os.path.isfile(path):
        return os.path.getsize(path)
    return sum(os.path.getsize(f) for f in tree_files(path))


def floor_write(size, work):
    """Seconds to write size bytes to a new file and sync it."""
    target = os.path.join(work, "floor.bin")
    seconds, _, _ = timed(["dd", "if=/dev/zero", "of=" + target, "bs=1M", "count=%d" % max(1, size >> 20),
                        "conv=fsync", "status=none"])
    os.remove(target)
    return seconds


def same_site(a, b):
    """The two sites hold the same files, byte for byte but for the plots."""
    fa = [os.path.relpath(f, a) for f in tree_files(a)]
    fb = [os.path.relpath(f, b) for f in tree_files(b)]
    if fa != fb:
        return False
    return all(f.endswith(".svg") or filecmp.cmp(os.path.join(a, f), os.path.join(b, f), shallow=False) for f in fa)


def run_command(seedtree, command, tree, out):
    """(seconds, KiB) of one command; its output at out."""
    if command == "list":
        with open(out, "wb") as f:
            return timed([seedtree, "list", tree], stdout=f)
    if command == "check":
        with open(out, "wb") as f:
            return timed([seedtree, "check", tree], stdout=f, ok=(0, 1))
    if command == "site":
        return timed([seedtree, "site", tree, "-o", out])
    # A volume indexes at most 908 station epochs (blockette 11): a larger
    # network is refused, as it should be, and shown so.
    return timed([seedtree, command, tree, "-o", out], ok=(0, 1) if command == "volume" else (0,))


def print_row(row):
    n, epochs, tree_bytes, command, measured, floor, out_bytes = row
    before = measured.get("before")
    s, kib, cpu = measured["after"]
    print("| %d | %d | %.1f | %s | %s | %s | %.2f (%.2f) | %.0f | %.2f | %.1f | %.1f |" % (
        n, epochs, tree_bytes / 1e6, command, "%.2f (%.2f)" % (before[0], before[2]) if before else "-",
        "%.0f" % (before[1] / 1024) if before else "-", s, cpu, kib / 1024, floor, s / floor if floor else 0,
        out_bytes / 1e6), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(PROJECT, "build"))
    parser.add_argument("--before", help="seedtree of the build to compare with")
    parser.add_argument("--stations", default="10,50,200")
    parser.add_argument("--lookup", action="store_true")
    parser.add_argument("--no-site-before-above", type=int, default=0,
                        help="leave out the before build's site above this many stations (0: never)")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("seedtree_scale: needs /usr/bin/time (Debian package time)")
    after = os.path.join(args.build, "bin", "seedtree")
    builds = [("after", after)] + ([("before", args.before)] if args.before else [])
    work = tempfile.mkdtemp(prefix="seedtree-scale-")
    rows, faults = [], []
    print("| stations | epochs | tree MB | command | before s (cpu) | before MB | after s (cpu) | after MB | "
          "floor s | after/floor | output MB |")
    print("|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|", flush=True)
    try:
        source = make_source(args.build, work, args.lookup)
        for n in [int(s) for s in args.stations.split(",")]:
            tree = os.path.join(work, "net%d" % n)
            subprocess.run([sys.executable, os.path.join(HERE, "make_network.py"), source, tree, str(n)], check=True)
            files = tree_files(tree)
            tree_bytes = sum(os.path.getsize(f) for f in files)
            cat_seconds, _, _ = timed(["sh", "-c", 'find "$1" -type f -exec cat {} + >/dev/null', "-", tree])
            epochs = 60 * n
            for command in ["list", "stationxml", "volume", "check", "site"]:
                measured, outputs = {}, {}
                for name, seedtree in builds:
                    if (name == "before" and command == "site" and args.no_site_before_above
                            and n > args.no_site_before_above):
                        continue
                    out = os.path.join(work, "%s.%s" % (command, name))
                    measured[name] = run_command(seedtree, command, tree, out)
                    outputs[name] = out
                if not os.path.exists(outputs["after"]):
                    rows.append((n, epochs, tree_bytes, command + " (refused: over 908 station epochs)", measured,
                                 0, 0))
                    print_row(rows[-1])
                    continue
                out_bytes = size_of(outputs["after"])
                floor = cat_seconds + (floor_write(out_bytes, work) if command in ("stationxml", "volume") else 0)
                if "before" in outputs:
                    a, b = outputs["after"], outputs["before"]
                    same = same_site(a, b) if command == "site" else filecmp.cmp(a, b, shallow=False)
                    if not same:
                        faults.append("%d stations: %s differs between the builds" % (n, command))
                rows.append((n, epochs, tree_bytes, command, measured, floor, out_bytes))
                print_row(rows[-1])
                for out in outputs.values():
                    shutil.rmtree(out) if os.path.isdir(out) else os.remove(out)
            shutil.rmtree(tree)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for f in faults:
        print("DIFFERENT OUTPUT: " + f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
