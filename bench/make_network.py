#!/usr/bin/env python3
"""Makes a large header tree from a small one, for measuring seedtree.

Copies H.A and, for each of COUNT new stations, the first station directory
of SOURCE (all its channel directories) under a new code S0000, S0001, ...
of network NET: only the station and network fields of B050 change, so
every station carries the same epochs, channels and responses.

Usage: make_network.py SOURCE_TREE TARGET_TREE COUNT [NET]
"""

import os
import shutil
import sys


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__)
        return 2
    source, target, count = argv[0], argv[1], int(argv[2])
    network = argv[3] if len(argv) == 4 else "XX"
    if not 0 < count <= 10000 or not 1 <= len(network) <= 2:
        print("make_network: COUNT must be 1 to 10000 and NET 1 or 2 characters", file=sys.stderr)
        return 2
    stations = sorted(d for d in os.listdir(source) if os.path.isdir(os.path.join(source, d)))
    if not stations:
        print("make_network: no station directory in %s" % source, file=sys.stderr)
        return 1
    model = os.path.join(source, stations[0])
    os.makedirs(target)
    shutil.copy(os.path.join(source, "H.A"), os.path.join(target, "H.A"))
    for i in range(count):
        code = "S%04d" % i
        directory = os.path.join(target, "%s.%s" % (code, network))
        shutil.copytree(model, directory)
        path = os.path.join(directory, "B050")
        with open(path) as lines:
            b050 = [line.rstrip("\n") for line in lines]
        # Station call letters are columns 8-12; the network code ends the line.
        b050 = [line[:7] + code.ljust(5) + line[12:-2] + network.ljust(2) for line in b050]
        with open(path, "w") as out:
            out.write("".join(line + "\n" for line in b050))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
