#!/usr/bin/env python3
"""Independent response evaluator of header trees, for the tests.

Written from the SEED 2.4 blockette layouts and response definitions; it
shares nothing with the C++ reader. It reads H.A (units, FIR dictionary 41,
polynomial dictionary 42) and every CHAN.LOC/B052 (52 and its response
lines, blockette 60 references resolved to the dictionary), and evaluates:

  53  A0 * prod(s - z) / prod(s - p); s = 2 pi i f (A), i f (B), and
      exp(2 pi i f / rate) (D)
  54  sum(n_k x^k) / sum(d_k x^k), x = s (A, B) or exp(-2 pi i f / rate) (D),
      an empty list counting 1
  61  sum(h_k exp(-2 pi i f k / rate)), B and C expanded from the stored half
  58  the stage gain
  62  left out
with rate the stage's blockette 57 input rate. With --correct-delay, the
phase as evalresp takes it: a FIR stored symmetric (B, C) without the delay
of its centre ((N - 1) / 2 samples), and a stage holding a FIR of symmetry
A or a 54 of type D with numerators only advanced by its 57's correction.

The check command evaluates every channel epoch at its stage-0 frequency
(magnitudes only) and compares the product with the stage-0 sensitivity;
it also checks the unit chain from stage to stage, that every digital stage
has its decimation, that the rates chain down to the channel's sample rate,
that analog poles and zeros are normalised to 1 at their frequency, and
that every FIR has unit gain at 0 Hz. The parse command parses every line
of every file of a tree (H.A, B050, B051, B052, B059) as its blockette, by
the table LAYOUTS.

Usage:
  seed_response_curve.py check [--tolerance REL] ROOT
      One line per channel epoch with both values, "problem:" lines for
      what does not hold; status 1 when anything does not.
  seed_response_curve.py parse ROOT
      Prints each line that does not parse; status 1 when any does not.
  seed_response_curve.py curve [--correct-delay] ROOT < RESPONSE_OUTPUT
      For each "# STA.NET.LOC.CHA START END ..." header of seedtree
      response's output (" stage N " in it: that stage only), prints the
      header and "frequency amplitude phase" at each frequency listed under
      it, with full precision.
  seed_response_curve.py dump ROOT
      Prints every channel epoch's response values in a canonical form
      (the one resp_file.py prints from RESP files).
"""

import cmath
import math
import os
import sys

from blockette_fields import Fields, seed_time


def fir_body(r):
    fir = {"name": r.text(), "symmetry": r.take(1), "in": r.int(3), "out": r.int(3)}
    fir["coefficients"] = [r.float(14) for _ in range(r.int(4))]
    return fir


def polynomial_body(r, tf):
    p = {"tf": tf, "in": r.int(3), "out": r.int(3), "approximation": r.take(1), "frequency_units": r.take(1)}
    p["limits"] = [r.float(12) for _ in range(5)]
    p["coefficients"] = [(r.float(12), r.float(12)) for _ in range(r.int(3))]
    return p


def read_dictionary(path):
    units, firs, polynomials = {}, {}, {}
    last_fir = None
    with open(path) as f:
        for line in f.read().splitlines():
            kind = line[:3]
            r = Fields(line)
            if kind == "034":
                key = r.int(3)
                units[key] = (r.text(), r.text())
            elif kind == "041":
                key = r.int(4)
                fir = fir_body(r)
                if key in firs and last_fir == key:
                    firs[key]["coefficients"] += fir["coefficients"]
                else:
                    firs[key] = fir
            elif kind == "042":
                key = r.int(4)
                r.text()
                polynomials[key] = polynomial_body(r, r.take(1))
            last_fir = key if kind == "041" else None
    return units, firs, polynomials


class Epoch:
    def __init__(self, station, network, line):
        r = Fields(line)
        self.station, self.network = station, network
        self.location = r.take(2).strip()
        self.channel = r.take(3).strip()
        r.take(4), r.take(3), r.text()
        self.signal_units = r.int(3)
        r.take(3)
        for width in (10, 11, 7, 5, 5, 5, 4, 2):
            r.take(width)
        self.rate = r.float(10)
        r.take(10), r.take(4), r.text()
        self.start, self.end = seed_time(r.text()), seed_time(r.text())
        self.stages = {}  # number -> {"filters": [...], "decimation", "gain"}
        self.sensitivity = None
        self.lines = [line]

    def codes(self):
        return "%s.%s.%s.%s" % (self.station, self.network, self.location, self.channel)

    def stage(self, number):
        return self.stages.setdefault(number, {"filters": [], "decimation": None, "gain": None})

    def add(self, line, firs, polynomials, previous):
        self.lines.append(line)
        kind = line[:3]
        r = Fields(line)
        if kind == "053":
            tf, number = r.take(1), r.int(2)
            b = {"type": "53", "tf": tf, "in": r.int(3), "out": r.int(3), "a0": r.float(12), "fn": r.float(12)}
            b["zeros"] = [tuple(r.float(12) for _ in range(4)) for _ in range(r.int(3))]
            b["poles"] = [tuple(r.float(12) for _ in range(4)) for _ in range(r.int(3))]
            self.stage(number)["filters"].append(b)
        elif kind == "054":
            tf, number = r.take(1), r.int(2)
            b = {"type": "54", "tf": tf, "in": r.int(3), "out": r.int(3)}
            b["numerators"] = [(r.float(12), r.float(12)) for _ in range(r.int(4))]
            b["denominators"] = [(r.float(12), r.float(12)) for _ in range(r.int(4))]
            self.stage(number)["filters"].append(b)
        elif kind == "057":
            number = r.int(2)
            self.stage(number)["decimation"] = (r.float(10), r.int(5), r.int(5), r.float(11), r.float(11))
        elif kind == "058":
            number = r.int(2)
            gain = (r.float(12), r.float(12), [(r.float(12), r.float(12), seed_time(r.text())) for _ in range(r.int(2))])
            if number == 0:
                self.sensitivity = gain
            else:
                self.stage(number)["gain"] = gain
        elif kind == "060":
            for _ in range(r.int(2)):
                number = r.int(2)
                for _ in range(r.int(2)):
                    key = r.int(4)
                    if key in firs:
                        b = dict(firs[key], type="61")
                        b["coefficients"] = list(b["coefficients"])
                    else:
                        b = dict(polynomials[key], type="62")
                    self.stage(number)["filters"].append(b)
        elif kind == "061":
            number = r.int(2)
            b = dict(fir_body(r), type="61")
            filters = self.stage(number)["filters"]
            if previous == ("061", number) and filters and filters[-1]["type"] == "61" and \
                    (filters[-1]["name"], filters[-1]["symmetry"]) == (b["name"], b["symmetry"]):
                filters[-1]["coefficients"] += b["coefficients"]
            else:
                filters.append(b)
            r.end()
            return ("061", number)
        elif kind == "062":
            tf, number = r.take(1), r.int(2)
            self.stage(number)["filters"].append(dict(polynomial_body(r, tf), type="62"))
        else:
            raise ValueError("blockette %s in a B052 file" % kind)
        r.end()
        return (kind, None)


def read_tree(root):
    units, firs, polynomials = read_dictionary(os.path.join(root, "H.A"))
    epochs = {}
    for station_dir in sorted(os.listdir(root)):
        station_path = os.path.join(root, station_dir)
        if not os.path.isdir(station_path):
            continue
        station, network = station_dir.split(".")
        for channel_dir in sorted(os.listdir(station_path)):
            path = os.path.join(station_path, channel_dir, "B052")
            if not os.path.isfile(path):
                continue
            current, previous = None, None
            found = []
            with open(path) as f:
                for line in f.read().splitlines():
                    if line[:3] == "052":
                        current = Epoch(station, network, line)
                        found.append(current)
                        previous = None
                    else:
                        previous = current.add(line, firs, polynomials, previous)
            for e in found:
                # The tree only grows: the same epoch may stand in it again.
                epochs.setdefault((e.codes(), e.start), e)
    return units, epochs


# Responses.

def expand(fir):
    c = fir["coefficients"]
    if fir["symmetry"] == "B":
        return c + c[-2::-1]
    if fir["symmetry"] == "C":
        return c + c[::-1]
    return c


def laplace(tf, f):
    return 2j * math.pi * f if tf == "A" else 1j * f


def filter_response(b, f, rate):
    if b["type"] == "53":
        s = cmath.exp(2j * math.pi * f / rate) if b["tf"] == "D" else laplace(b["tf"], f)
        h = complex(b["a0"])
        for z in b["zeros"]:
            h *= s - complex(z[0], z[1])
        for p in b["poles"]:
            h /= s - complex(p[0], p[1])
        return h
    if b["type"] == "54":
        if b["tf"] == "D":
            terms = lambda c: sum(v * cmath.exp(-2j * math.pi * f * k / rate) for k, (v, _) in enumerate(c))
        else:
            s = laplace(b["tf"], f)
            terms = lambda c: sum(v * s ** k for k, (v, _) in enumerate(c))
        numerator = terms(b["numerators"]) if b["numerators"] else 1
        denominator = terms(b["denominators"]) if b["denominators"] else 1
        return numerator / denominator
    if b["type"] == "61":
        taps = expand(b)
        if not taps:
            return 1
        return sum(c * cmath.exp(-2j * math.pi * f * k / rate) for k, c in enumerate(taps))
    return 1  # 62: not a frequency response


def stage_response(stage, f, corrected=False):
    h = complex(stage["gain"][0]) if stage["gain"] else 1
    rate = stage["decimation"][0] if stage["decimation"] else None
    advance = False
    for b in stage["filters"]:
        h *= filter_response(b, f, rate)
        if not corrected:
            continue
        if b["type"] == "61" and b["coefficients"] and b["symmetry"] in "BC":
            h *= cmath.exp(2j * math.pi * f * (len(expand(b)) - 1) / 2 / rate)
        elif (b["type"] == "61" and b["coefficients"]) or \
                (b["type"] == "54" and b["tf"] == "D" and b["numerators"] and not b["denominators"]):
            advance = True
    if advance:
        h *= cmath.exp(2j * math.pi * f * stage["decimation"][4])
    return h


def channel_response(epoch, f, corrected=False):
    h = 1
    for number in sorted(epoch.stages):
        h *= stage_response(epoch.stages[number], f, corrected)
    return h


def curve(root, lines, corrected=False):
    _, epochs = read_tree(root)
    by_header = {}
    for e in epochs.values():
        by_header[(e.codes(), e.start)] = e
    epoch, stage = None, None
    for line in lines:
        line = line.rstrip("\n")
        if line.startswith("# ") and not line.startswith("# stage ") and not line.startswith("# cannot "):
            words = line.split()
            codes, start = words[1], words[2]
            epoch = by_header[(codes, start)]
            stage = int(words[words.index("stage") + 1]) if "stage" in words[4:6] else None
            print(line)
        elif line.startswith("#") or not line.strip():
            print(line)
        else:
            f = float(line.split()[0])
            h = stage_response(epoch.stages[stage], f, corrected) if stage is not None else \
                channel_response(epoch, f, corrected)
            print("%r %r %r" % (f, abs(h), math.degrees(cmath.phase(h))))


# The canonical dump shared with resp_file.py.

def unit(units, key):
    name, description = units.get(key, ("UNKNOWN", ""))
    return name


def numbers(values):
    return " ".join(repr(float(v)) for v in values)


def dump(root):
    units, epochs = read_tree(root)
    for key in sorted(epochs, key=lambda k: (k[0], k[1])):
        e = epochs[key]
        print("epoch %s %s %s" % (e.codes(), e.start, e.end))
        for number in sorted(e.stages):
            stage = e.stages[number]
            for b in stage["filters"]:
                io = "%s %s" % (unit(units, b["in"]), unit(units, b["out"]))
                if b["type"] == "53":
                    print("%d 53 %s %s %s zeros %s poles %s" % (
                        number, b["tf"], io, numbers([b["a0"], b["fn"]]),
                        numbers(v for z in b["zeros"] for v in z), numbers(v for p in b["poles"] for v in p)))
                elif b["type"] == "54":
                    print("%d 54 %s %s numerators %s denominators %s" % (
                        number, b["tf"], io, numbers(v for n in b["numerators"] for v in n),
                        numbers(v for d in b["denominators"] for v in d)))
                elif b["type"] == "61":
                    print("%d 61 %s %s %s %s" % (number, b["name"], b["symmetry"], io, numbers(b["coefficients"])))
                else:
                    print("%d 62 %s %s %s %s %s coefficients %s" % (
                        number, b["tf"], io, b["approximation"], b["frequency_units"], numbers(b["limits"]),
                        numbers(v for c in b["coefficients"] for v in c)))
            if stage["decimation"]:
                rate, factor, offset, delay, correction = stage["decimation"]
                print("%d 57 %s %d %d %s" % (number, numbers([rate]), factor, offset, numbers([delay, correction])))
            if stage["gain"]:
                print("%d 58 %s history %s" % (number, numbers(stage["gain"][:2]),
                                              " ".join("%r %r %s" % h for h in stage["gain"][2])))
        if e.sensitivity:
            print("0 58 %s history %s" % (numbers(e.sensitivity[:2]), " ".join("%r %r %s" % h for h in e.sensitivity[2])))


# Checks of a tree's records.

# Each blockette's fields after type and length: "F<w>" text, "I<w>" an
# integer, "R<w>" a real, "V" a "~"-ended text, and ("N<w>", [...]) a count
# of w digits followed by that many repeats of the group.
LAYOUTS = {
    "030": ["V", "I4", "I3", ("N2", ["V"])],
    "031": ["I4", "F1", "V", "I3"],
    "033": ["I3", "V"],
    "034": ["I3", "V", "V"],
    "041": ["I4", "V", "F1", "I3", "I3", ("N4", ["R14"])],
    "042": ["I4", "V", "F1", "I3", "I3", "F1", "F1"] + ["R12"] * 5 + [("N3", ["R12", "R12"])],
    "050": ["F5", "R10", "R11", "R7", "I4", "I3", "V", "I3", "I4", "I2", "V", "V", "F1", "F2"],
    "051": ["V", "V", "I4", "I6"],
    "052": ["F2", "F3", "F4", "F3", "V", "I3", "F3", "F10", "F11", "F7", "F5", "F5", "F5", "F4", "F2",
            "R10", "F10", "F4", "V", "V", "V", "F1"],
    "053": ["F1", "I2", "I3", "I3", "R12", "R12", ("N3", ["R12"] * 4), ("N3", ["R12"] * 4)],
    "054": ["F1", "I2", "I3", "I3", ("N4", ["R12", "R12"]), ("N4", ["R12", "R12"])],
    "057": ["I2", "R10", "I5", "I5", "R11", "R11"],
    "058": ["I2", "R12", "R12", ("N2", ["R12", "R12", "V"])],
    "059": ["V", "V", "I4", "I6"],
    "060": [("N2", ["I2", ("N2", ["I4"])])],
    "061": ["I2", "V", "F1", "I3", "I3", ("N4", ["R14"])],
    "062": ["F1", "I2", "I3", "I3", "F1", "F1"] + ["R12"] * 5 + [("N3", ["R12", "R12"])],
}


def take_fields(r, layout):
    for field in layout:
        if isinstance(field, tuple):
            for _ in range(r.int(int(field[0][1:]))):
                take_fields(r, field[1])
        elif field == "V":
            r.text()
        else:
            {"F": r.take, "I": r.int, "R": r.float}[field[0]](int(field[1:]))


def parse_line(line):
    """Raises ValueError unless line is a whole blockette of its layout."""
    if line[:3] not in LAYOUTS:
        raise ValueError("blockette %r is not a header-tree blockette" % line[:3])
    r = Fields(line)
    take_fields(r, LAYOUTS[line[:3]])
    r.end()


def parse_tree(root):
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
                        parse_line(line[:-1])
                    except (ValueError, IndexError, UnicodeDecodeError) as e:
                        print("%s:%d: %s" % (path, number, e))
                        failed = True
    return 1 if failed else 0


def check_epoch(epoch, tolerance):
    """(|response| at the stage-0 frequency or None, problems)."""
    problems = []
    units, rate = epoch.signal_units, None
    f0 = epoch.sensitivity[1] if epoch.sensitivity else None
    polynomial = False
    for number in sorted(epoch.stages):
        stage = epoch.stages[number]
        for b in stage["filters"]:
            if units is not None and b["in"] != units:
                problems.append("stage %d: input units %d after output units %d" % (number, b["in"], units))
            units = b["out"]
            polynomial = polynomial or b["type"] == "62"
        decimation = stage["decimation"]
        digital = any(b["type"] in ("54", "61") for b in stage["filters"])
        if digital and decimation is None:
            problems.append("stage %d: digital stage without decimation" % number)
        if decimation is not None:
            if rate is not None and abs(decimation[0] - rate) > 1e-6 * rate:
                problems.append("stage %d: input rate %g, previous output %g" % (number, decimation[0], rate))
            rate = decimation[0] / decimation[1]
        for b in stage["filters"]:
            if b["type"] == "53" and b["tf"] in "AB":
                norm = abs(filter_response(b, b["fn"], None))
                if abs(norm - 1) > tolerance:
                    problems.append("stage %d: A0 normalises to %.6g at %g Hz" % (number, norm, b["fn"]))
            taps = expand(b) if b["type"] == "61" else \
                [v for v, _ in b["numerators"]] if b["type"] == "54" and b["tf"] == "D" else []
            if taps and decimation is not None and abs(sum(taps) - 1) > tolerance:
                problems.append("stage %d: FIR gain at 0 Hz is %.7g" % (number, sum(taps)))
    if rate is not None and abs(rate - epoch.rate) > 1e-6 * rate:
        problems.append("output rate %g, channel rate %g" % (rate, epoch.rate))
    if f0 is None:
        return None, problems
    if polynomial:
        problems.append("a polynomial has no response at a frequency")
        return None, problems
    response = abs(channel_response(epoch, f0))
    difference = abs(response - epoch.sensitivity[0]) / epoch.sensitivity[0]
    if difference > tolerance:
        problems.append("response %.6e at %g Hz, stage-0 sensitivity %.6e (relative %.2e)"
                        % (response, f0, epoch.sensitivity[0], difference))
    return response, problems


def check(root, tolerance):
    _, epochs = read_tree(root)
    failed = False
    for key in sorted(epochs):
        e = epochs[key]
        name = "%s.%s/%s.%s %s" % (e.station, e.network, e.channel, e.location, e.start)
        response, problems = check_epoch(e, tolerance)
        if response is not None:
            print("%s response %.6e at %g Hz, stage 0 %.6e, relative difference %.2e"
                  % (name, response, e.sensitivity[1], e.sensitivity[0],
                     abs(response - e.sensitivity[0]) / e.sensitivity[0]))
        else:
            print("%s no response at a frequency (%d stages)" % (name, len(e.stages)))
        for problem in problems:
            print("  problem: %s" % problem)
            failed = True
    return 1 if failed else 0


def main(argv):
    if len(argv) == 2 and argv[0] == "check":
        return check(argv[1], 1e-3)
    if len(argv) == 4 and argv[:2] == ["check", "--tolerance"]:
        return check(argv[3], float(argv[2]))
    if len(argv) == 2 and argv[0] == "parse":
        return parse_tree(argv[1])
    if len(argv) == 2 and argv[0] == "curve":
        curve(argv[1], sys.stdin)
        return 0
    if len(argv) == 3 and argv[:2] == ["curve", "--correct-delay"]:
        curve(argv[2], sys.stdin, corrected=True)
        return 0
    if len(argv) == 2 and argv[0] == "dump":
        dump(argv[1])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
