#!/usr/bin/env python3
"""Independent check of a StationXML document against the header tree it was
made from, for the tests.

Written from FDSN StationXML 1.2 and SEED 2.4 alone, with the Python
standard library (xml.etree): it shares no code with the C++ reader and
writer. It reads the tree's files by SEED's field layouts (identical
repeated epochs once, blockette 60 resolved through H.A's 41 and 42) and
checks the document element by element against them: networks, station
and channel epochs in order, codes, dates, coordinates, types, units,
comments, and every value of every response stage (poles and zeros with
their errors, coefficients, FIR taps, polynomial, decimation, gains) as
the tree writes it. The InstrumentPolynomial's coefficients must be the
stage's divided by powers of the other stages' gain.

It then computes the response at the stage-0 frequency of every channel
from the document (poles and zeros in rad/s or Hz, digital coefficients
and FIRs expanded by their symmetry at the decimation input rate, stage
gains) and compares it with the response seed_response_curve.py computes
from the tree: they must agree within 1e-6 relative.

A channel epoch stands under every station epoch it overlaps, with the
later start and the earlier end of the two. Unit names must be the
tree's in the spelling of the list given with --units (one name a line,
"#" comments), where exactly one name of the list equals the tree's with
case ignored; without a list, equal with case ignored.

Prints one line per channel with both responses. Problems go to standard
error, one per line, prefixed "problem:"; the exit status is then 1.

Usage: stationxml_check.py [--units LIST] DOCUMENT TREE_ROOT
"""

import cmath
import math
import os
import sys
import xml.etree.ElementTree as ET

import seed_response_curve  # the tree's response, computed on its own
from blockette_fields import Fields

NS = "{http://www.fdsn.org/xml/station/1}"
TOLERANCE = 1e-6


def parse(line):
    """The fields of a blockette; numbers as their text without blanks."""
    f, kind = Fields(line), line[:3]
    b = {"type": kind, "line": line}
    if kind == "031":
        b.update(key=f.int(4), cls=f.take(1), description=f.text(), units=f.int(3))
    elif kind == "033":
        b.update(key=f.int(3), description=f.text())
    elif kind == "034":
        b.update(key=f.int(3), name=f.text(), description=f.text())
    elif kind in ("041", "061"):
        b["key" if kind == "041" else "stage"] = f.int(4 if kind == "041" else 2)
        b.update(name=f.text(), symmetry=f.take(1), input=f.int(3), output=f.int(3))
        b["coefficients"] = [f.stripped(14) for _ in range(f.int(4))]
    elif kind in ("042", "062"):
        if kind == "042":
            b.update(key=f.int(4), name=f.text(), tf=f.take(1))
        else:
            b.update(tf=f.take(1), stage=f.int(2), name="")
        b.update(input=f.int(3), output=f.int(3), approximation=f.take(1), frequency_units=f.take(1))
        b.update(lower_frequency=f.stripped(12), upper_frequency=f.stripped(12), lower=f.stripped(12), upper=f.stripped(12),
                 max_error=f.stripped(12))
        b["coefficients"] = [(f.stripped(12), f.stripped(12)) for _ in range(f.int(3))]
    elif kind == "050":
        b.update(station=f.stripped(5), latitude=f.stripped(10), longitude=f.stripped(11), elevation=f.stripped(7))
        f.take(4)
        b.update(comments=f.int(3), site=f.text(), network_id=f.int(3))
        f.take(6)
        b.update(start=f.text(), end=f.text(), update=f.take(1), network=f.stripped(2))
    elif kind in ("051", "059"):
        b.update(start=f.text(), end=f.text(), key=f.int(4), level=f.int(6))
    elif kind == "052":
        b.update(location=f.stripped(2), channel=f.stripped(3))
        f.take(4)
        b.update(instrument=f.int(3), remark=f.text(), signal_units=f.int(3), calibration_units=f.int(3))
        b.update(latitude=f.stripped(10), longitude=f.stripped(11), elevation=f.stripped(7), depth=f.stripped(5),
                 azimuth=f.stripped(5), dip=f.stripped(5))
        f.take(6)
        b.update(rate=f.stripped(10), drift=f.stripped(10), comments=f.int(4), flags=f.text(), start=f.text(), end=f.text())
    elif kind == "053":
        b.update(tf=f.take(1), stage=f.int(2), input=f.int(3), output=f.int(3), a0=f.stripped(12), fn=f.stripped(12))
        b["zeros"] = [tuple(f.stripped(12) for _ in range(4)) for _ in range(f.int(3))]
        b["poles"] = [tuple(f.stripped(12) for _ in range(4)) for _ in range(f.int(3))]
    elif kind == "054":
        b.update(tf=f.take(1), stage=f.int(2), input=f.int(3), output=f.int(3))
        b["numerators"] = [(f.stripped(12), f.stripped(12)) for _ in range(f.int(4))]
        b["denominators"] = [(f.stripped(12), f.stripped(12)) for _ in range(f.int(4))]
    elif kind == "057":
        b.update(stage=f.int(2), rate=f.stripped(10), factor=f.int(5), offset=f.int(5), delay=f.stripped(11),
                 correction=f.stripped(11))
    elif kind == "058":
        b.update(stage=f.int(2), gain=f.stripped(12), frequency=f.stripped(12))
    elif kind == "060":
        b["stages"] = []
        for _ in range(f.int(2)):
            stage = f.int(2)
            b["stages"].append((stage, [f.int(4) for _ in range(f.int(2))]))
    return b


def lines_of(path):
    if not os.path.exists(path):
        return []
    with open(path) as file:
        return [line.rstrip("\n") for line in file]


def time_key(text):
    """A SEED time as a comparable tuple; an empty (open) end is last."""
    if not text:
        return (10000,)
    parts = text.replace(":", ",").replace(".", ",").split(",")
    values = [int(p) for p in parts[:5]] + [0] * (5 - len(parts[:5]))
    fraction = parts[5] if len(parts) > 5 else ""
    return tuple(values) + (int(fraction.ljust(4, "0")),)


def iso(text):
    """A SEED time as StationXML writes it: YYYY-MM-DDTHH:MM:SS[.F]Z."""
    year, day = int(text[0:4]), int(text[5:8])
    days = [31, 29 if (year % 4 == 0 and year % 100 != 0) or year % 400 == 0 else 28] + [31, 30, 31, 30, 31, 31, 30, 31, 30, 31]
    month = 0
    while day > days[month]:
        day -= days[month]
        month += 1
    rest = text[9:]
    hour, minute, second = (rest[0:2] or "00"), (rest[3:5] or "00"), (rest[6:8] or "00")
    fraction = "." + rest[9:] if len(rest) > 9 else ""
    return "%04d-%02d-%02dT%s:%s:%s%sZ" % (year, month + 1, day, hour, minute, second, fraction)


def is_open(end):
    return end == "" or int(end[:4]) >= 2500


def nested(c, s):
    """The channel epoch's start and end under station epoch s."""
    start = s["start"] if time_key(s["start"]) > time_key(c["start"]) else c["start"]
    end = s["end"] if time_key(s["end"]) < time_key(c["end"]) else c["end"]
    return start, end


class Tree:
    def __init__(self, root):
        self.root = root
        self.curve_dictionary = None  # H.A as seed_response_curve.py reads it
        self.comments, self.abbreviations, self.units, self.firs, self.polynomials = {}, {}, {}, {}, {}
        previous = None
        for line in lines_of(os.path.join(root, "H.A")):
            b = parse(line)
            kind = b["type"]
            if kind == "031":
                self.comments[b["key"]] = b
            elif kind == "033":
                self.abbreviations[b["key"]] = b
            elif kind == "034":
                self.units[b["key"]] = b
            elif kind == "041":
                if previous == b["key"]:
                    self.firs[b["key"]]["coefficients"] += b["coefficients"]
                else:
                    self.firs[b["key"]] = b
            elif kind == "042":
                self.polynomials[b["key"]] = b
            previous = b["key"] if kind == "041" else None
        self.stations = []  # (network, station, start key, station dict)
        for name in sorted(os.listdir(root)):
            path = os.path.join(root, name)
            if os.path.isdir(path):
                self.read_station(path)
        self.stations.sort(key=lambda s: (s["network"], s["station"], time_key(s["start"])))

    def read_station(self, path):
        b051 = lines_of(os.path.join(path, "B051"))
        at, epochs = 0, []
        for line in lines_of(os.path.join(path, "B050")):
            s = parse(line)
            s["comment_lines"] = b051[at:at + s["comments"]]
            at += s["comments"]
            if not any(e["line"] == s["line"] and e["comment_lines"] == s["comment_lines"] for e in epochs):
                epochs.append(s)
        channels = []
        for name in sorted(os.listdir(path)):
            if not os.path.isdir(os.path.join(path, name)):
                continue
            b059 = lines_of(os.path.join(path, name, "B059"))
            at, found = 0, []
            for line in lines_of(os.path.join(path, name, "B052")):
                if line.startswith("052"):
                    found.append({"lines": []})
                found[-1]["lines"].append(line)
            for c in found:
                c.update(parse(c["lines"][0]))
                c["comment_lines"] = b059[at:at + c["comments"]]
                at += c["comments"]
                if not any(k["lines"] == c["lines"] and k["comment_lines"] == c["comment_lines"] for k in channels):
                    channels.append(c)
        channels.sort(key=lambda c: (c["location"], c["channel"], time_key(c["start"])))
        for s in epochs:
            s["channels"] = [c for c in channels if overlaps(c, s)]
            self.stations.append(s)

    def stages(self, channel):
        """Stage number -> {"filter": blockette or None, "57": ..., "58": ...}; 60 resolved."""
        stages = {}
        for line in channel["lines"][1:]:
            b = parse(line)
            if b["type"] == "058" and b["stage"] == 0:
                continue
            resolved = [b]
            if b["type"] == "060":
                resolved = []
                for stage, keys in b["stages"]:
                    for key in keys:
                        entry = dict(self.firs[key] if key in self.firs else self.polynomials[key])
                        entry.update(stage=stage, type="061" if key in self.firs else "062")
                        resolved.append(entry)
            for r in resolved:
                stage = stages.setdefault(r["stage"], {"filter": None, "057": None, "058": None})
                if r["type"] in ("057", "058"):
                    stage[r["type"]] = r
                elif r["type"] == "061" and stage["filter"] is not None:
                    stage["filter"]["coefficients"] = stage["filter"]["coefficients"] + r["coefficients"]
                else:
                    stage["filter"] = r
        return stages

    def sensitivity(self, channel):
        for line in channel["lines"][1:]:
            if line.startswith("058") and parse(line)["stage"] == 0:
                return parse(line)
        return None

    def response(self, channel):
        """The tree's response at the stage-0 frequency, by seed_response_curve.py."""
        if self.curve_dictionary is None:
            self.curve_dictionary = seed_response_curve.read_dictionary(os.path.join(self.root, "H.A"))
        _, firs, polynomials = self.curve_dictionary
        epoch = seed_response_curve.Epoch("", "", channel["lines"][0])
        previous = None
        for line in channel["lines"][1:]:
            previous = epoch.add(line, firs, polynomials, previous)
        return seed_response_curve.check_epoch(epoch, 1e-3)[0]


def overlaps(c, s):
    cs, ce, ss, se = time_key(c["start"]), time_key(c["end"]), time_key(s["start"]), time_key(s["end"])
    return (cs < se and ss < ce) or cs == ss


class Check:
    def __init__(self, tree, units=None):
        self.tree = tree
        self.units = units
        self.problems = []

    def unit_name(self, name):
        if self.units is None:
            return name.lower()
        matches = [u for u in self.units if u.lower() == name.lower()]
        return matches[0] if len(matches) == 1 else name

    def problem(self, where, text):
        self.problems.append("%s: %s" % (where, text))

    def same(self, where, what, got, wanted):
        if got != wanted:
            self.problem(where, "%s is %r, the tree gives %r" % (what, got, wanted))

    def close(self, where, what, got, wanted, tolerance=1e-12):
        try:
            value = float(got)
        except (TypeError, ValueError):
            self.problem(where, "%s is %r, not a number" % (what, got))
            return
        if abs(value - wanted) > tolerance * max(abs(wanted), 1e-300):
            self.problem(where, "%s is %r, the tree gives %r" % (what, got, wanted))

    def children(self, element, name):
        return element.findall(NS + name)

    def text(self, element, name):
        found = element.find(NS + name)
        return None if found is None else found.text

    def dates(self, where, element, start, end):
        self.same(where, "startDate", element.get("startDate"), iso(start))
        self.same(where, "endDate", element.get("endDate"), None if is_open(end) else iso(end))

    def comments(self, where, element, lines):
        found = self.children(element, "Comment")
        self.same(where, "number of comments", len(found), len(lines))
        for c, line in zip(found, lines):
            b = parse(line)
            self.same(where, "comment id", c.get("id"), str(b["key"]))
            self.same(where, "comment", self.text(c, "Value"), self.tree.comments[b["key"]]["description"])
            self.same(where, "comment begin", self.text(c, "BeginEffectiveTime"), iso(b["start"]))
            self.same(where, "comment end", self.text(c, "EndEffectiveTime"), None if is_open(b["end"]) else iso(b["end"]))

    def unit(self, where, element, key):
        u = self.tree.units.get(key)
        if element is None or u is None:
            self.same(where, "units", element is None, u is None)
            return
        name = self.text(element, "Name")
        self.same(where, "unit name", name if self.units is not None else name.lower(), self.unit_name(u["name"]))
        self.same(where, "unit description", self.text(element, "Description"), u["description"] or None)

    def document(self, root):
        self.same("document", "root", root.tag, NS + "FDSNStationXML")
        self.same("document", "schemaVersion", root.get("schemaVersion"), "1.2")
        stations = [(n, s) for n in self.children(root, "Network") for s in self.children(n, "Station")]
        self.same("document", "number of station epochs", len(stations), len(self.tree.stations))
        networks = [n.get("code") for n in self.children(root, "Network")]
        self.same("document", "networks", networks, sorted(set(s["network"] for s in self.tree.stations)))
        for (network, station), s in zip(stations, self.tree.stations):
            where = "%s.%s from %s" % (s["station"], s["network"], s["start"])
            self.same(where, "network", network.get("code"), s["network"])
            described = self.tree.abbreviations.get(s["network_id"])
            self.same(where, "network description", self.text(network, "Description"),
                      described["description"] if described else None)
            self.station(where, station, s)

    def station(self, where, element, s):
        self.same(where, "code", element.get("code"), s["station"])
        self.dates(where, element, s["start"], s["end"])
        self.comments(where, element, s["comment_lines"])
        for name in ("Latitude", "Longitude", "Elevation"):
            self.same(where, name, self.text(element, name), s[name.lower()])
        self.same(where, "site", element.find(NS + "Site").find(NS + "Name").text, s["site"])
        channels = self.children(element, "Channel")
        self.same(where, "number of channel epochs", len(channels), len(s["channels"]))
        for x, c in zip(channels, s["channels"]):
            self.channel("%s %s.%s from %s" % (where, c["location"], c["channel"], c["start"]), x, c, s)

    def channel(self, where, element, c, s):
        self.same(where, "code", element.get("code"), c["channel"])
        self.same(where, "locationCode", element.get("locationCode"), c["location"])
        self.dates(where, element, *nested(c, s))
        self.same(where, "description", self.text(element, "Description"), c["remark"] or None)
        self.comments(where, element, c["comment_lines"])
        for name in ("Latitude", "Longitude", "Elevation", "Depth", "Azimuth", "Dip"):
            self.same(where, name, self.text(element, name), c[name.lower()])
        names = dict(T="TRIGGERED", C="CONTINUOUS", H="HEALTH", G="GEOPHYSICAL", W="WEATHER", F="FLAG",
                     S="SYNTHESIZED", I="INPUT", E="EXPERIMENTAL", M="MAINTENANCE", B="BEAM")
        self.same(where, "types", sorted(t.text for t in self.children(element, "Type")),
                  sorted(set(names[f] for f in c["flags"] if f != " ")))
        self.same(where, "sample rate", self.text(element, "SampleRate"), c["rate"])
        self.same(where, "clock drift", self.text(element, "ClockDrift"), c["drift"])
        self.unit(where + " calibration", element.find(NS + "CalibrationUnits"), c["calibration_units"])
        sensor = element.find(NS + "Sensor")
        described = self.tree.abbreviations.get(c["instrument"])
        self.same(where, "sensor", None if sensor is None else self.text(sensor, "Description"),
                  described["description"] if described else None)
        self.response(where, element.find(NS + "Response"), c)

    def response(self, where, element, c):
        stages = self.tree.stages(c)
        sensitivity = self.tree.sensitivity(c)
        if element is None:
            self.same(where, "response", None, "%d stages" % len(stages) if stages or sensitivity else None)
            return
        numbers = sorted(stages)
        xml_stages = self.children(element, "Stage")
        self.same(where, "stage numbers", [int(s.get("number")) for s in xml_stages], numbers)
        filters = [stages[n]["filter"] for n in numbers if stages[n]["filter"] is not None]
        total = element.find(NS + "InstrumentSensitivity")
        self.same(where, "InstrumentSensitivity", total is not None, sensitivity is not None)
        if total is not None and sensitivity is not None:
            self.same(where, "sensitivity", self.text(total, "Value"), sensitivity["gain"])
            self.same(where, "sensitivity frequency", self.text(total, "Frequency"), sensitivity["frequency"])
            self.unit(where + " sensitivity input", total.find(NS + "InputUnits"), filters[0]["input"])
            self.unit(where + " sensitivity output", total.find(NS + "OutputUnits"), filters[-1]["output"])
        polynomial = element.find(NS + "InstrumentPolynomial")
        first = stages[numbers[0]]["filter"] if numbers else None
        self.same(where, "InstrumentPolynomial", polynomial is not None, first is not None and first["type"] == "062")
        if polynomial is not None and first is not None:
            gain = 1.0
            for n in numbers[1:]:
                gain *= float(stages[n]["058"]["gain"])
            self.unit(where + " polynomial input", polynomial.find(NS + "InputUnits"), first["input"])
            self.unit(where + " polynomial output", polynomial.find(NS + "OutputUnits"), filters[-1]["output"])
            self.polynomial(where + " InstrumentPolynomial", polynomial, first, gain)
        for x, n in zip(xml_stages, numbers):
            self.stage("%s stage %d" % (where, n), x, stages[n])
        if sensitivity is not None:
            self.compare_response(where, element, c, float(sensitivity["frequency"]))

    def stage(self, where, element, stage):
        b = stage["filter"]
        kinds = {"053": "PolesZeros", "054": "Coefficients", "061": "FIR", "062": "Polynomial"}
        present = [name for name in kinds.values() if element.find(NS + name) is not None]
        self.same(where, "filter", present, [kinds[b["type"]]] if b else [])
        if b is not None and present:
            f = element.find(NS + kinds[b["type"]])
            self.unit(where + " input", f.find(NS + "InputUnits"), b["input"])
            self.unit(where + " output", f.find(NS + "OutputUnits"), b["output"])
            getattr(self, "filter_" + b["type"])(where, f, b)
        d, x = stage["057"], element.find(NS + "Decimation")
        self.same(where, "Decimation", x is not None, d is not None)
        if d is not None and x is not None:
            for name, key in (("InputSampleRate", "rate"), ("Delay", "delay"), ("Correction", "correction")):
                self.same(where, name, self.text(x, name), d[key])
            self.same(where, "Factor", self.text(x, "Factor"), str(d["factor"]))
            self.same(where, "Offset", self.text(x, "Offset"), str(d["offset"]))
        g, x = stage["058"], element.find(NS + "StageGain")
        self.same(where, "StageGain", x is not None, g is not None)
        if g is not None and x is not None:
            self.same(where, "gain", self.text(x, "Value"), g["gain"])
            self.same(where, "gain frequency", self.text(x, "Frequency"), g["frequency"])

    def with_error(self, where, what, element, value, error):
        self.same(where, what, element.text, value)
        self.same(where, what + " plusError", element.get("plusError"), error)
        self.same(where, what + " minusError", element.get("minusError"), error)

    def filter_053(self, where, f, b):
        types = {"A": "LAPLACE (RADIANS/SECOND)", "B": "LAPLACE (HERTZ)", "D": "DIGITAL (Z-TRANSFORM)"}
        self.same(where, "transfer function", self.text(f, "PzTransferFunctionType"), types.get(b["tf"]))
        self.same(where, "A0", self.text(f, "NormalizationFactor"), b["a0"])
        self.same(where, "normalization frequency", self.text(f, "NormalizationFrequency"), b["fn"])
        for name, roots in (("Zero", b["zeros"]), ("Pole", b["poles"])):
            found = self.children(f, name)
            self.same(where, name + "s", [x.get("number") for x in found], [str(i) for i in range(len(roots))])
            for i, (x, (re, im, re_error, im_error)) in enumerate(zip(found, roots)):
                self.with_error(where, "%s %d real" % (name, i), x.find(NS + "Real"), re, re_error)
                self.with_error(where, "%s %d imaginary" % (name, i), x.find(NS + "Imaginary"), im, im_error)

    def filter_054(self, where, f, b):
        types = {"A": "ANALOG (RADIANS/SECOND)", "B": "ANALOG (HERTZ)", "D": "DIGITAL"}
        self.same(where, "transfer function", self.text(f, "CfTransferFunctionType"), types.get(b["tf"]))
        for name, values in (("Numerator", b["numerators"]), ("Denominator", b["denominators"])):
            found = self.children(f, name)
            self.same(where, name + "s", len(found), len(values))
            for i, (x, (value, error)) in enumerate(zip(found, values)):
                self.with_error(where, "%s %d" % (name, i), x, value, error)

    def filter_061(self, where, f, b):
        self.same(where, "FIR name", f.get("name"), b["name"])
        self.same(where, "symmetry", self.text(f, "Symmetry"), {"A": "NONE", "B": "ODD", "C": "EVEN"}[b["symmetry"]])
        self.same(where, "FIR coefficients", [x.text for x in self.children(f, "NumeratorCoefficient")],
                  b["coefficients"])

    def filter_062(self, where, f, b):
        self.same(where, "polynomial name", f.get("name"), b["name"] or None)
        self.polynomial(where, f, b, 1.0)

    def polynomial(self, where, f, b, gain):
        self.same(where, "approximation", self.text(f, "ApproximationType"), {"M": "MACLAURIN"}[b["approximation"]])
        for name, key in (("FrequencyLowerBound", "lower_frequency"), ("FrequencyUpperBound", "upper_frequency")):
            if b["frequency_units"] == "B":
                self.same(where, name, self.text(f, name), b[key])
            else:  # radians per second in the tree, hertz in the document
                self.close(where, name, self.text(f, name), float(b[key]) / (2 * math.pi))
        for name, key in (("ApproximationLowerBound", "lower"), ("ApproximationUpperBound", "upper"),
                          ("MaximumError", "max_error")):
            self.same(where, name, self.text(f, name), b[key])
        found = self.children(f, "Coefficient")
        self.same(where, "coefficients", len(found), len(b["coefficients"]))
        for k, (x, (value, error)) in enumerate(zip(found, b["coefficients"])):
            if gain == 1.0 or k == 0:
                self.with_error(where, "coefficient %d" % k, x, value, error)
            else:
                self.close(where, "coefficient %d" % k, x.text, float(value) / gain ** k)
                self.close(where, "coefficient %d error" % k, x.get("plusError"), float(error) / gain ** k)

    def compare_response(self, where, element, c, frequency):
        from_tree = self.tree.response(c)
        from_document = document_response(element, frequency)
        if from_tree is None or from_document is None:
            self.problem(where, "no response at %g Hz (tree %r, document %r)" % (frequency, from_tree, from_document))
            return
        difference = abs(from_document - from_tree) / from_tree
        print("%-40s %g Hz: document %.9e, tree %.9e, relative %.1e" % (where, frequency, from_document, from_tree,
                                                                        difference))
        if difference > TOLERANCE:
            self.problem(where, "response %.9e at %g Hz, the tree's %.9e" % (from_document, frequency, from_tree))


def number(element, name):
    return float(element.find(NS + name).text)


def document_response(response, frequency):
    """|H(f)| of a Response element, from the document alone."""
    h = complex(1.0)
    for stage in response.findall(NS + "Stage"):
        decimation = stage.find(NS + "Decimation")
        rate = number(decimation, "InputSampleRate") if decimation is not None else None
        pz, cf, fir = stage.find(NS + "PolesZeros"), stage.find(NS + "Coefficients"), stage.find(NS + "FIR")
        if stage.find(NS + "Polynomial") is not None:
            return None
        if pz is not None:
            kind = pz.find(NS + "PzTransferFunctionType").text
            if kind == "DIGITAL (Z-TRANSFORM)":
                s = cmath.exp(2j * math.pi * frequency / rate)
            else:
                s = (2j * math.pi if kind == "LAPLACE (RADIANS/SECOND)" else 1j) * frequency
            value = complex(number(pz, "NormalizationFactor"))
            for z in pz.findall(NS + "Zero"):
                value *= s - complex(number(z, "Real"), number(z, "Imaginary"))
            for p in pz.findall(NS + "Pole"):
                value /= s - complex(number(p, "Real"), number(p, "Imaginary"))
            h *= value
        taps, denominators = [], []
        if cf is not None:
            if cf.find(NS + "CfTransferFunctionType").text != "DIGITAL":
                return None
            taps = [float(x.text) for x in cf.findall(NS + "Numerator")]
            denominators = [float(x.text) for x in cf.findall(NS + "Denominator")]
        if fir is not None:
            taps = [float(x.text) for x in fir.findall(NS + "NumeratorCoefficient")]
            symmetry = fir.find(NS + "Symmetry").text
            if symmetry == "ODD":
                taps = taps + taps[-2::-1]
            elif symmetry == "EVEN":
                taps = taps + taps[::-1]
        if taps or denominators:
            w = 2 * math.pi * frequency / rate
            numerator = sum(t * cmath.exp(-1j * w * k) for k, t in enumerate(taps)) if taps else 1
            denominator = sum(d * cmath.exp(-1j * w * k) for k, d in enumerate(denominators)) if denominators else 1
            h *= numerator / denominator
        gain = stage.find(NS + "StageGain")
        if gain is not None:
            h *= number(gain, "Value")
    return abs(h)


def main(argv):
    units = None
    if len(argv) == 4 and argv[0] == "--units":
        with open(argv[1]) as f:
            units = [line.strip() for line in f if line.strip() and not line.startswith("#")]
        argv = argv[2:]
    if len(argv) != 2:
        print(__doc__)
        return 2
    try:
        root = ET.parse(argv[0]).getroot()
    except ET.ParseError as e:
        print("problem: %s: %s" % (argv[0], e), file=sys.stderr)
        return 1
    check = Check(Tree(argv[1]), units)
    check.document(root)
    for p in check.problems:
        print("problem: " + p, file=sys.stderr)
    return 1 if check.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
