#!/usr/bin/env python3
"""Checks the include graph of the sources: every include names a file by its
path from the repository root, the wings of seed/ include only wings below
them (cli > site > writers, analysis > files > reader; writers and analysis
not each other), the reader includes no database code, the importer no
writer, analysis, site or cli, the generator and common/ nothing of the
tools above them, and only tests include tests/.

Usage: include_layers.py [ROOT]   (prints each violation; status 1 if any)
"""
import os
import re
import sys

LEVEL = {"reader": 0, "files": 1, "writers": 2, "analysis": 2, "site": 3, "cli": 4}
# Folders (by prefix) a folder's files may not include.
FORBIDDEN = {
    "seed/reader/": ["common/db/", "generator/", "importer/", "respdb/"],
    "importer/": ["seed/writers/", "seed/analysis/", "seed/site/", "seed/cli/", "respdb/"],
    "generator/": ["seed/", "importer/", "respdb/", "drivers/", "reports/"],
    "common/": ["seed/", "generator/", "importer/", "respdb/", "drivers/", "reports/"],
}
SOURCES = ("common", "generator", "drivers", "reports", "seed", "importer", "respdb", "tests", "bench")


def wing(path):
    parts = path.split("/")
    return parts[1] if len(parts) > 2 and parts[0] == "seed" else None


def main(argv):
    root = argv[0] if argv else "."
    problems = []
    for top in SOURCES:
        for base, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if not name.endswith((".cpp", ".hpp", ".c", ".h")):
                    continue
                path = os.path.relpath(os.path.join(base, name), root)
                for number, line in enumerate(open(os.path.join(root, path)), 1):
                    m = re.match(r'\s*#\s*include "([^"]+)"', line)
                    if not m:
                        continue
                    target = m.group(1)
                    where = "%s:%d: %s" % (path, number, target)
                    if not os.path.isfile(os.path.join(root, target)):
                        problems.append(where + " is not a path from the root")
                        continue
                    for prefix, banned in FORBIDDEN.items():
                        if path.startswith(prefix) and any(target.startswith(b) for b in banned):
                            problems.append(where + " crosses a layer")
                    if not path.startswith("tests/") and target.startswith("tests/"):
                        problems.append(where + " is a test's")
                    a, b = wing(path), wing(target)
                    if a and b and a != b and LEVEL[b] >= LEVEL[a]:
                        problems.append(where + ": wing %s includes wing %s, not below it" % (a, b))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
