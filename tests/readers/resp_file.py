#!/usr/bin/env python3
"""Independent reader of RESP files, for the tests.

Reads the "BxxxFyy" lines of RESP files as response tools do (the value
after the label's colon; the index and values of coefficient lines) and
prints each channel epoch's response in the canonical form that
seed_response_curve.py dump prints from a header tree, so that the two can
be compared line for line. Problems (a count that the listed values do not
match, a line outside a blockette) go to standard error with status 1.

Usage: resp_file.py RESP_FILE...
"""

import sys

from blockette_fields import seed_time


def numbers(values):
    return " ".join(repr(float(v)) for v in values)


class Problem(Exception):
    pass


def parse(path):
    """Every epoch of the file: (codes, start, end, [lines of the dump])."""
    epochs = []
    header = {}
    block = None  # (blockette, {field: value}, [rows])
    blocks = []

    def close_epoch():
        if header:
            epochs.append((dict(header), list(blocks)))

    with open(path) as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            tag = line.split()[0]
            if len(tag) < 7 or tag[0] != "B" or tag[4] != "F":
                raise Problem("%s:%d: not a RESP line: %r" % (path, number, line))
            blockette, field = tag[1:4], tag[5:]
            if blockette in ("050", "052"):
                if blockette == "050" and field == "03":
                    close_epoch()
                    header.clear()
                    blocks.clear()
                header[blockette + "F" + field] = line.split(":", 1)[1].strip()
                continue
            if ":" not in line:  # a row of a list: index and values
                words = line.split()
                block[2].append((field, int(words[1]), [w for w in words[2:]]))
                continue
            value = line.split(":", 1)[1].strip()
            if field == "03":
                block = (blockette, {}, [])
                blocks.append(block)
            if block is None or block[0] != blockette:
                raise Problem("%s:%d: %s line outside its blockette" % (path, number, tag))
            block[1][field] = value
    close_epoch()
    return epochs


def unit(text):
    return text.split(" - ", 1)[0]


def rows(block, field, count, width):
    found = [r for r in block[2] if r[0] == field]
    if len(found) != count or [r[1] for r in found] != list(range(count)):
        raise Problem("B%s: %d rows %s for a count of %d" % (block[0], len(found), field, count))
    out = []
    for r in found:
        out += r[2][:width]
    return out


def dump(epoch):
    header, blocks = epoch
    location = "" if header["052F03"] == "??" else header["052F03"]
    codes = "%s.%s.%s.%s" % (header["050F03"], header["050F16"], location, header["052F04"])
    out = ["epoch %s %s %s" % (codes, seed_time(header["052F22"]), seed_time(header["052F23"], "No Ending Time"))]
    stage0 = []
    for b in blocks:
        kind, v = b[0], b[1]
        if kind == "053":
            stage = int(v["04"])
            io = "%s %s" % (unit(v["05"]), unit(v["06"]))
            zeros = rows(b, "10-13", int(v["09"]), 5)
            poles = rows(b, "15-18", int(v["14"]), 5)
            out.append("%d 53 %s %s %s zeros %s poles %s" % (stage, v["03"][0], io, numbers([v["07"], v["08"]]),
                                                             numbers(zeros), numbers(poles)))
        elif kind == "054":
            stage = int(v["04"])
            io = "%s %s" % (unit(v["05"]), unit(v["06"]))
            out.append("%d 54 %s %s numerators %s denominators %s" % (
                stage, v["03"][0], io, numbers(rows(b, "08-09", int(v["07"]), 2)),
                numbers(rows(b, "11-12", int(v["10"]), 2))))
        elif kind == "061":
            stage = int(v["03"])
            io = "%s %s" % (unit(v["06"]), unit(v["07"]))
            out.append("%d 61 %s %s %s %s" % (stage, v["04"], v["05"], io, numbers(rows(b, "09", int(v["08"]), 1))))
        elif kind == "062":
            stage = int(v["04"])
            io = "%s %s" % (unit(v["05"]), unit(v["06"]))
            limits = [v[f] for f in ("09", "10", "11", "12", "13")]
            out.append("%d 62 %s %s %s %s %s coefficients %s" % (
                stage, v["03"][0], io, v["07"], v["08"], numbers(limits), numbers(rows(b, "15-16", int(v["14"]), 2))))
        elif kind == "057":
            out.append("%d 57 %s %d %d %s" % (int(v["03"]), numbers([v["04"]]), int(v["05"]), int(v["06"]),
                                              numbers([v["07"], v["08"]])))
        elif kind == "058":
            stage = int(v["03"])
            history = rows(b, "07-09", int(v["06"]), 3)
            text = " ".join("%r %r %s" % (float(history[i]), float(history[i + 1]), seed_time(history[i + 2]))
                            for i in range(0, len(history), 3))
            line = "%d 58 %s history %s" % (stage, numbers([v["04"], v["05"].split()[0]]), text)
            (stage0 if stage == 0 else out).append(line)
        else:
            raise Problem("blockette %s is not one RESP files hold here" % kind)
    return codes, seed_time(header["052F22"]), out + stage0


def main(argv):
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    found = []
    try:
        for path in argv:
            for epoch in parse(path):
                found.append(dump(epoch))
    except (Problem, KeyError, ValueError, IndexError) as e:
        print("problem: %s" % e, file=sys.stderr)
        return 1
    for codes, start, lines in sorted(found, key=lambda x: (x[0], x[1])):
        print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
