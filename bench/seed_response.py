#!/usr/bin/env python3
"""Independent check of channel responses in a header tree.

Reads B052 files as the SEED standard defines the blockettes (fixed-width
fields, "~"-ended texts), not as the generator writes them, and for every
channel with a stage-0 sensitivity computes the response magnitude at the
stage-0 frequency from the stages:

  53  A0 * prod(s - z) / prod(s - p), s = 2 pi i f (type A) or i f (type B)
  54  digital coefficients (none: a pure gain)
  61  FIR, symmetry A as stored, B (odd) and C (even) expanded from the
      stored first half; evaluated at the stage's input rate (blockette 57)
  58  stage gain, multiplied in

The product must equal the stage-0 sensitivity. Also checked: every
record's length field, the unit chain from stage to stage, that every
digital stage has its decimation and that the rates chain down to the
channel's sample rate, and that every FIR has unit gain at 0 Hz.

Usage: seed_response.py [--tolerance REL] TREE_ROOT_OR_B052_FILE ...
       seed_response.py --parse-only TREE_ROOT
Exit status 0 when every check holds, 1 otherwise. With --parse-only every
line of every file of the tree (H.A, B050, B051, B052, B059) must parse as
its blockette, and nothing else is checked.
"""

import cmath
import math
import os
import sys


class Fields:
    """Reads one blockette's fields in order."""

    def __init__(self, line):
        self.line = line
        self.at = 7

    def fixed(self, width):
        text = self.line[self.at:self.at + width]
        if len(text) != width:
            raise ValueError("record ends inside a field")
        self.at += width
        return text

    def integer(self, width):
        return int(self.fixed(width))

    def real(self, width):
        return float(self.fixed(width))

    def variable(self):
        end = self.line.index("~", self.at)
        text = self.line[self.at:end]
        self.at = end + 1
        return text

    def done(self):
        if self.at != len(self.line):
            raise ValueError("%d characters left after the last field" % (len(self.line) - self.at))


def parse(line):
    kind = line[:3]
    if int(line[3:7]) != len(line):
        raise ValueError("length field %s, line of %d characters" % (line[3:7], len(line)))
    f = Fields(line)
    b = {"type": kind}
    if kind == "052":
        b["location"] = f.fixed(2)
        b["channel"] = f.fixed(3)
        f.fixed(4), f.fixed(3), f.variable()
        b["unit_signal"] = f.integer(3)
        f.fixed(3), f.fixed(10), f.fixed(11), f.fixed(7), f.fixed(5), f.fixed(5), f.fixed(5), f.fixed(4), f.fixed(2)
        b["rate"] = f.real(10)
        f.fixed(10), f.fixed(4), f.variable(), f.variable(), f.variable(), f.fixed(1)
    elif kind == "053":
        b["tf"] = f.fixed(1)
        b["stage"] = f.integer(2)
        b["in"], b["out"] = f.integer(3), f.integer(3)
        b["a0"], b["fn"] = f.real(12), f.real(12)
        b["zeros"] = []
        for _ in range(f.integer(3)):
            re, im = f.real(12), f.real(12)
            f.real(12), f.real(12)
            b["zeros"].append(complex(re, im))
        b["poles"] = []
        for _ in range(f.integer(3)):
            re, im = f.real(12), f.real(12)
            f.real(12), f.real(12)
            b["poles"].append(complex(re, im))
    elif kind == "054":
        b["tf"] = f.fixed(1)
        b["stage"] = f.integer(2)
        b["in"], b["out"] = f.integer(3), f.integer(3)
        b["numerators"] = []
        for _ in range(f.integer(4)):
            b["numerators"].append(f.real(12))
            f.real(12)
        b["denominators"] = []
        for _ in range(f.integer(4)):
            b["denominators"].append(f.real(12))
            f.real(12)
    elif kind == "057":
        b["stage"] = f.integer(2)
        b["rate"] = f.real(10)
        b["factor"], b["offset"] = f.integer(5), f.integer(5)
        b["delay"], b["correction"] = f.real(11), f.real(11)
    elif kind == "058":
        b["stage"] = f.integer(2)
        b["gain"], b["frequency"] = f.real(12), f.real(12)
        for _ in range(f.integer(2)):
            f.real(12), f.real(12), f.variable()
    elif kind == "061":
        b["stage"] = f.integer(2)
        b["name"] = f.variable()
        b["symmetry"] = f.fixed(1)
        b["in"], b["out"] = f.integer(3), f.integer(3)
        b["coefficients"] = [f.real(14) for _ in range(f.integer(4))]
    elif kind == "062":
        b["tf"] = f.fixed(1)
        b["stage"] = f.integer(2)
        b["in"], b["out"] = f.integer(3), f.integer(3)
        f.fixed(1), f.fixed(1)
        b["band"] = (f.real(12), f.real(12))
        b["bounds"] = (f.real(12), f.real(12))
        f.real(12)
        b["coefficients"] = []
        for _ in range(f.integer(3)):
            b["coefficients"].append(f.real(12))
            f.real(12)
    elif kind == "030":
        b["name"] = f.variable()
        f.integer(4), f.integer(3)
        b["keys"] = [f.variable() for _ in range(f.integer(2))]
    elif kind == "031":
        f.integer(4), f.fixed(1)
        b["description"] = f.variable()
        f.integer(3)
    elif kind == "033":
        f.integer(3)
        b["description"] = f.variable()
    elif kind == "034":
        f.integer(3)
        b["name"], b["description"] = f.variable(), f.variable()
    elif kind == "041":
        f.integer(4)
        b["name"] = f.variable()
        b["symmetry"] = f.fixed(1)
        b["in"], b["out"] = f.integer(3), f.integer(3)
        b["coefficients"] = [f.real(14) for _ in range(f.integer(4))]
    elif kind == "042":
        f.integer(4), f.variable(), f.fixed(1), f.integer(3), f.integer(3), f.fixed(1), f.fixed(1)
        for _ in range(5):
            f.real(12)
        for _ in range(f.integer(3)):
            f.real(12), f.real(12)
    elif kind == "050":
        b["station"] = f.fixed(5)
        f.real(10), f.real(11), f.real(7), f.integer(4), f.integer(3)
        b["site"] = f.variable()
        f.integer(3), f.integer(4), f.integer(2)
        b["start"], b["end"] = f.variable(), f.variable()
        f.fixed(1)
        b["network"] = f.fixed(2)
    elif kind in ("051", "059"):
        b["start"], b["end"] = f.variable(), f.variable()
        f.integer(4), f.integer(6)
    elif kind == "060":
        f.integer(2)
        b["stage"] = f.integer(2)
        b["references"] = []
        for _ in range(f.integer(2)):
            b["references"].append(f.integer(4))
    else:
        raise ValueError("blockette %s is not a header-tree blockette" % kind)
    f.done()
    return b


def expanded(fir):
    c = fir["coefficients"]
    if fir["symmetry"] == "B":
        return c + c[-2::-1]
    if fir["symmetry"] == "C":
        return c + c[::-1]
    return c


class Channel:
    def __init__(self, name):
        self.name = name
        self.b052 = None
        self.stages = {}  # stage -> list of blockettes in file order
        self.sensitivity = None
        self.problems = []

    def add(self, b):
        if b["type"] == "052":
            self.b052 = b
        elif b["type"] == "058" and b["stage"] == 0:
            self.sensitivity = b
        else:
            self.stages.setdefault(b["stage"], []).append(b)

    def check(self, tolerance):
        """Returns the computed response at the stage-0 frequency, or None."""
        rate = None
        units = self.b052["unit_signal"] if self.b052 else None
        f0 = self.sensitivity["frequency"] if self.sensitivity else None
        response = 1.0
        for stage in sorted(self.stages):
            blockettes = self.stages[stage]
            kinds = [b["type"] for b in blockettes]
            if "060" in kinds:
                self.problems.append("stage %d is a dictionary reference" % stage)
                return None
            # Several blockettes 61 of one stage are one FIR.
            firs = [b for b in blockettes if b["type"] == "061"]
            fir = None
            if firs:
                fir = dict(firs[0])
                fir["coefficients"] = [c for b in firs for c in b["coefficients"]]
                if any((b["name"], b["symmetry"], b["in"], b["out"]) != (fir["name"], fir["symmetry"], fir["in"], fir["out"]) for b in firs):
                    self.problems.append("stage %d: continued blockettes 61 differ in their leading fields" % stage)
            filters = [b for b in blockettes if b["type"] in ("053", "054", "062")] + ([fir] if fir else [])
            decimation = next((b for b in blockettes if b["type"] == "057"), None)
            gain = next((b for b in blockettes if b["type"] == "058"), None)
            for filt in filters:
                if units is not None and filt["in"] != units:
                    self.problems.append("stage %d: input units %d after output units %d" % (stage, filt["in"], units))
                units = filt["out"]
            digital = fir is not None or any(b["type"] == "054" for b in blockettes)
            if digital and decimation is None:
                self.problems.append("stage %d: digital stage without decimation" % stage)
            if decimation is not None:
                if rate is not None and abs(decimation["rate"] - rate) > 1e-6 * rate:
                    self.problems.append("stage %d: input rate %g, previous output %g" % (stage, decimation["rate"], rate))
                rate = decimation["rate"] / decimation["factor"]
            if f0 is None:
                continue
            h = 1.0
            for filt in filters:
                if filt["type"] == "053":
                    s = (2j * math.pi * f0) if filt["tf"] == "A" else (1j * f0)
                    value = filt["a0"]
                    for z in filt["zeros"]:
                        value *= s - z
                    for p in filt["poles"]:
                        value /= s - p
                    sn = (2j * math.pi * filt["fn"]) if filt["tf"] == "A" else (1j * filt["fn"])
                    norm = filt["a0"]
                    for z in filt["zeros"]:
                        norm *= sn - z
                    for p in filt["poles"]:
                        norm /= sn - p
                    if abs(abs(norm) - 1) > tolerance:
                        self.problems.append("stage %d: A0 normalises to %.6g at %g Hz" % (stage, abs(norm), filt["fn"]))
                    h *= abs(value)
                elif filt["type"] in ("054", "061"):
                    taps = expanded(filt) if filt["type"] == "061" else filt["numerators"]
                    if not taps:
                        continue
                    if decimation is None:
                        continue
                    if abs(sum(taps) - 1) > tolerance:
                        self.problems.append("stage %d: FIR gain at 0 Hz is %.7g" % (stage, sum(taps)))
                    w = 2 * math.pi * f0 / decimation["rate"]
                    h *= abs(sum(c * cmath.exp(-1j * w * k) for k, c in enumerate(taps)))
                elif filt["type"] == "062":
                    self.problems.append("stage %d: a polynomial has no response at a frequency" % stage)
                    return None
            if gain is not None:
                h *= gain["gain"]
            response *= h
        if self.b052 is not None and rate is not None and abs(rate - self.b052["rate"]) > 1e-6 * rate:
            self.problems.append("output rate %g, channel rate %g" % (rate, self.b052["rate"]))
        if f0 is None:
            return None
        difference = abs(response - self.sensitivity["gain"]) / self.sensitivity["gain"]
        if difference > tolerance:
            self.problems.append("response %.6e at %g Hz, stage-0 sensitivity %.6e (relative %.2e)"
                                 % (response, f0, self.sensitivity["gain"], difference))
        return response


def channels_in(path):
    """Every B052 file below a tree root, or the file itself."""
    if os.path.isfile(path):
        yield path
        return
    for directory, _, files in sorted(os.walk(path)):
        if "B052" in files:
            yield os.path.join(directory, "B052")


def parse_tree(root):
    """Parses every line of every file of a header tree; prints what does not."""
    failed = False
    for directory, _, files in sorted(os.walk(root)):
        for name in sorted(files):
            path = os.path.join(directory, name)
            with open(path, "rb") as lines:
                for number, raw in enumerate(lines, 1):
                    try:
                        line = raw.decode("ascii")
                        if not line.endswith("\n"):
                            raise ValueError("line without its newline")
                        parse(line[:-1])
                    except (ValueError, UnicodeDecodeError) as e:
                        print("%s:%d: %s" % (path, number, e))
                        failed = True
    return 1 if failed else 0


def main(argv):
    tolerance = 1e-3
    paths = []
    args = iter(argv)
    for arg in args:
        if arg == "--tolerance":
            tolerance = float(next(args))
        elif arg == "--parse-only":
            return parse_tree(next(args))
        else:
            paths.append(arg)
    if not paths:
        print(__doc__)
        return 2
    failed = False
    for root in paths:
        for path in sorted(channels_in(root)):
            name = os.path.relpath(os.path.dirname(path), root) if os.path.isdir(root) else path
            # One file may hold several copies (repeated runs): each blockette 52
            # begins a channel of its own.
            copies = []
            with open(path) as lines:
                for number, line in enumerate(lines, 1):
                    line = line.rstrip("\n")
                    try:
                        b = parse(line)
                    except ValueError as e:
                        print("%s:%d: %s" % (path, number, e))
                        failed = True
                        continue
                    if b["type"] == "052" or not copies:
                        copies.append(Channel(name))
                    copies[-1].add(b)
            for channel in copies:
                response = channel.check(tolerance)
                if response is not None:
                    s0 = channel.sensitivity
                    print("%-16s response %.6e at %g Hz, stage 0 %.6e, relative difference %.2e"
                          % (channel.name, response, s0["frequency"], s0["gain"],
                             abs(response - s0["gain"]) / s0["gain"]))
                else:
                    print("%-16s no response at a frequency (%d stages)" % (channel.name, len(channel.stages)))
                for problem in channel.problems:
                    print("%-16s   problem: %s" % ("", problem))
                    failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
