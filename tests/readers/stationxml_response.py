#!/usr/bin/env python3
"""The complex response of every channel of a StationXML document, and the
comparison of two documents' responses, for the tests.

Written from FDSN StationXML 1.2 and SEED 2.4 alone, with the Python
standard library (xml.etree); it shares no code with the C++ tools. Per
channel, at log-spaced frequencies from FMIN to 0.4 times the channel's
SampleRate, the product of its stages:

  PolesZeros    A0 * prod(s - zero) / prod(s - pole); s = 2 pi i f
                (LAPLACE (RADIANS/SECOND)), i f (LAPLACE (HERTZ)), or
                z = exp(2 pi i f / rate) (DIGITAL (Z-TRANSFORM))
  Coefficients  sum(n_k x^k) / sum(d_k x^k); x = s (analog) or
                exp(-2 pi i f / rate) (DIGITAL); none counts 1
  FIR           sum(h_k exp(-2 pi i f k / rate)), ODD and EVEN expanded
                from the stored first half
  StageGain     multiplied in
  Polynomial    not a frequency response: left out, and evaluated on its
                own at evenly spaced points of its approximation bounds

rate is the stage's Decimation InputSampleRate. The InstrumentSensitivity
value is compared too.

With --round-first, every value of the first document is first rounded
as the response database and its SEED fields hold it: to single
precision, then to the digits of its blockette field (gains, poles,
zeros, A0, normalization and polynomial values "%12.5E", FIR and
coefficient-set values "%14.7E", sample rates "%10.4E"), as a document
that went through the database and back carries it.

Usage: stationxml_response.py [--points N] [--fmin F] DOCUMENT
       stationxml_response.py compare [--round-first] [--tolerance T] [--points N] [--fmin F] FIRST SECOND
The first form prints every channel's response; compare matches the
channels of both documents by network, station, location and channel
code in document order, prints each one's largest relative difference
(|H1 - H2| / |H2|, which bounds the amplitude's relative and the phase's
difference in radians) and exits 1 when one exceeds the tolerance
(default 1e-6) or the channels do not match.
"""

import cmath
import math
import struct
import sys
import xml.etree.ElementTree as ET

NS = "{http://www.fdsn.org/xml/station/1}"


def single(value):
    return struct.unpack("f", struct.pack("f", value))[0]


class Values:
    """Reads numbers from a document, rounded as SEED fields hold them or not."""

    def __init__(self, rounded):
        self.rounded = rounded

    def get(self, element, kind="gain"):
        value = float(element.text)
        if not self.rounded:
            return value
        form = {"gain": "%12.5E", "fir": "%14.7E", "rate": "%10.4E"}[kind]
        return float(form % single(value))

    def child(self, element, name, kind="gain", default=None):
        found = element.find(NS + name)
        if found is None:
            if default is None:
                raise ValueError("%s has no %s" % (element.tag, name))
            return default
        return self.get(found, kind)


def expand(taps, symmetry):
    if symmetry == "ODD":
        return taps + taps[-2::-1]
    if symmetry == "EVEN":
        return taps + taps[::-1]
    return taps


def stage_response(stage, f, values):
    """The stage at f Hz (polynomials count 1), or raise ValueError."""
    h = complex(1.0)
    decimation = stage.find(NS + "Decimation")
    rate = values.child(decimation, "InputSampleRate", "rate") if decimation is not None else None
    pz, cf, fir = stage.find(NS + "PolesZeros"), stage.find(NS + "Coefficients"), stage.find(NS + "FIR")
    if stage.find(NS + "ResponseList") is not None:
        raise ValueError("a ResponseList stage")
    if pz is not None:
        kind = pz.find(NS + "PzTransferFunctionType").text.strip()
        if kind == "DIGITAL (Z-TRANSFORM)":
            s = cmath.exp(2j * math.pi * f / rate)
        elif kind == "LAPLACE (RADIANS/SECOND)":
            s = 2j * math.pi * f
        else:
            s = 1j * f
        value = complex(values.child(pz, "NormalizationFactor", default=1.0))
        for z in pz.findall(NS + "Zero"):
            value *= s - complex(values.child(z, "Real"), values.child(z, "Imaginary"))
        for p in pz.findall(NS + "Pole"):
            value /= s - complex(values.child(p, "Real"), values.child(p, "Imaginary"))
        h *= value
    if cf is not None:
        kind = cf.find(NS + "CfTransferFunctionType").text.strip()
        numerators = [values.get(x, "fir") for x in cf.findall(NS + "Numerator")]
        denominators = [values.get(x, "fir") for x in cf.findall(NS + "Denominator")]
        if kind == "DIGITAL":
            x = cmath.exp(-2j * math.pi * f / rate) if numerators or denominators else 0
        else:
            x = (2j * math.pi if kind == "ANALOG (RADIANS/SECOND)" else 1j) * f
        numerator = sum(c * x ** k for k, c in enumerate(numerators)) if numerators else 1
        denominator = sum(c * x ** k for k, c in enumerate(denominators)) if denominators else 1
        h *= numerator / denominator
    if fir is not None:
        taps = expand([values.get(x, "fir") for x in fir.findall(NS + "NumeratorCoefficient")],
                      fir.find(NS + "Symmetry").text.strip())
        w = 2 * math.pi * f / rate
        h *= sum(t * cmath.exp(-1j * w * k) for k, t in enumerate(taps)) if taps else 1
    gain = stage.find(NS + "StageGain")
    if gain is not None:
        h *= values.child(gain, "Value")
    return h


def frequencies(fmin, fmax, points):
    if points == 1:
        return [fmin]
    step = math.log(fmax / fmin) / (points - 1)
    return [fmin * math.exp(step * k) for k in range(points)]


class Channel:
    def __init__(self, network, station, element, values, points, fmin):
        self.key = (network, station, element.get("locationCode", "").strip(), element.get("code").strip())
        self.name = "%s.%s.%s.%s" % self.key
        self.rate = float(element.find(NS + "SampleRate").text)
        self.response, self.polynomial, self.sensitivity = [], [], None
        response = element.find(NS + "Response")
        if response is None:
            return
        stages = response.findall(NS + "Stage")
        fmax = 0.4 * self.rate
        for f in frequencies(fmin, fmax, points):
            h = complex(1.0)
            for stage in stages:
                h *= stage_response(stage, f, values)
            self.response.append((f, h))
        for stage in stages:
            p = stage.find(NS + "Polynomial")
            if p is None:
                continue
            low = values.child(p, "ApproximationLowerBound")
            high = values.child(p, "ApproximationUpperBound")
            coefficients = [values.get(c) for c in p.findall(NS + "Coefficient")]
            for k in range(points):
                x = low + (high - low) * k / max(points - 1, 1)
                self.polynomial.append((x, sum(c * x ** n for n, c in enumerate(coefficients))))
        total = response.find(NS + "InstrumentSensitivity")
        if total is not None:
            self.sensitivity = values.child(total, "Value")


def channels(path, rounded, points, fmin):
    root = ET.parse(path).getroot()
    values = Values(rounded)
    out = []
    for network in root.findall(NS + "Network"):
        for station in network.findall(NS + "Station"):
            for channel in station.findall(NS + "Channel"):
                out.append(Channel(network.get("code").strip(), station.get("code").strip(), channel, values, points,
                                   fmin))
    return out


def relative(a, b):
    if a == b:
        return 0.0
    return abs(a - b) / abs(b) if b != 0 else float("inf")


def compare(first, second, tolerance):
    problems = 0
    if [c.key for c in first] != [c.key for c in second]:
        print("problem: the channels differ: %s and %s" % ([c.name for c in first], [c.name for c in second]),
              file=sys.stderr)
        return 1
    for a, b in zip(first, second):
        response = max([relative(x[1], y[1]) for x, y in zip(a.response, b.response)] or [0.0])
        polynomial = max([relative(x[1], y[1]) for x, y in zip(a.polynomial, b.polynomial)] or [0.0])
        sensitivity = 0.0
        if (a.sensitivity is None) != (b.sensitivity is None):
            sensitivity = float("inf")
        elif a.sensitivity is not None:
            sensitivity = relative(a.sensitivity, b.sensitivity)
        shapes = len(a.response) == len(b.response) and len(a.polynomial) == len(b.polynomial)
        print("%s: response %.3e at %d frequencies, polynomial %.3e at %d points, sensitivity %.3e" %
              (a.name, response, len(a.response), polynomial, len(a.polynomial), sensitivity))
        if not shapes or max(response, polynomial, sensitivity) > tolerance:
            print("problem: %s differs by more than %g" % (a.name, tolerance), file=sys.stderr)
            problems += 1
    return 1 if problems else 0


def main(argv):
    options = {"--points": 20, "--fmin": 1e-3, "--tolerance": 1e-6}
    round_first = False
    rest = []
    args = list(argv)
    while args:
        a = args.pop(0)
        if a in options:
            options[a] = type(options[a])(args.pop(0))
        elif a == "--round-first":
            round_first = True
        else:
            rest.append(a)
    points, fmin = options["--points"], options["--fmin"]
    try:
        if rest and rest[0] == "compare" and len(rest) == 3:
            return compare(channels(rest[1], round_first, points, fmin), channels(rest[2], False, points, fmin),
                           options["--tolerance"])
        if len(rest) == 1:
            for c in channels(rest[0], False, points, fmin):
                print("# %s sensitivity %r" % (c.name, c.sensitivity))
                for f, h in c.response:
                    print("%.9e %.9e %.6f" % (f, abs(h), math.degrees(cmath.phase(h))))
                for x, y in c.polynomial:
                    print("x %.9e %.9e" % (x, y))
            return 0
    except (ET.ParseError, ValueError, AttributeError, ZeroDivisionError) as e:
        print("problem: %s" % e, file=sys.stderr)
        return 1
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
