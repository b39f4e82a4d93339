#!/usr/bin/env python3
"""A client of respdb serve, standard library only, for its end-to-end test.

  respdb_serve_client.py BASE checks DIR PID LIMITED
                                               every check below; DIR holds
                                               the export's documents, LIMITED
                                               is a service with --max-channels 20
  respdb_serve_client.py BASE status PATH      prints the status of GET PATH
  respdb_serve_client.py BASE fuzz N SEED      N random query strings: a
                                               status for each
  respdb_serve_client.py BASE same OTHER N     N rounds of queries: BASE
                                               answers as OTHER does

BASE is http://127.0.0.1:PORT. Exits 1 naming the first check that fails.
"""
import http.client
import os
import random
import re
import signal
import socket
import sys
import threading
import time
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

BASE = sys.argv[1]
Q = BASE + "/fdsnws/station/1/query"
NS = "{http://www.fdsn.org/xml/station/1}"
WADL = "{http://wadl.dev.java.net/2009/02}"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def get(url, data=None, timeout=60):
    """(status, headers, body) of a GET, or a POST when data is given."""
    req = urllib.request.Request(url, data=data, headers={"Content-Type": "text/plain"} if data else {})
    try:
        with urllib.request.urlopen(req, timeout=timeout) as r:
            return r.status, r.headers, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.headers, e.read()


def query(params, **kw):
    return get(Q + "?" + params, **kw)


def expect(params, status, what=""):
    s, h, b = query(params)
    if s != status:
        fail(f"{params}: status {s}, not {status} {what}: {b[:300]!r}")
    return h, b


def without_created(xml):
    return re.sub(rb"<Created>[^<]*</Created>", b"", xml)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def codes(xml, level):
    """The (net, sta, loc, cha) of every element of a level in a document."""
    root = ET.fromstring(xml)
    out = []
    for n in root.iter(NS + "Network"):
        if level == "network":
            out.append((n.get("code"),))
        for s in n.iter(NS + "Station"):
            if level == "station":
                out.append((n.get("code"), s.get("code"), s.get("startDate")))
            for c in s.iter(NS + "Channel") if level == "channel" else []:
                out.append((n.get("code"), s.get("code"), c.get("locationCode"), c.get("code"), c.get("startDate")))
    return out


def check_export(d):
    # Level response is the export's document but for Created.
    for params, name in [("level=response", "all.xml"), ("sta=HILL&level=response", "hill.xml"),
                         ("net=XY&sta=ST1&cha=BHZ&level=response", "st1-bhz.xml")]:
        h, b = expect(params, 200)
        if h.get("Content-Type") != "application/xml" or h.get("Access-Control-Allow-Origin") != "*":
            fail(f"{params}: headers {dict(h)}")
        if h.get("Transfer-Encoding") != "chunked":
            fail(f"{params}: not chunked")
        if without_created(b) != without_created(read(os.path.join(d, name))):
            fail(f"{params}: not the export's {name}")
    whole = read(os.path.join(d, "all.xml"))
    # Lower levels: the same elements, without the deeper ones.
    _, net = expect("level=network", 200)
    if codes(net, "network") != codes(whole, "network") or b"<Station" in net:
        fail("level=network: networks differ or stations present")
    if b"<TotalNumberStations>" not in net or b"<SelectedNumberStations>" not in net:
        fail("level=network: no station counts")
    _, sta = expect("level=station", 200)
    if codes(sta, "station") != codes(whole, "station") or b"<Channel" in sta:
        fail("level=station: stations differ or channels present")
    _, cha = expect("level=channel", 200)
    if codes(cha, "channel") != codes(whole, "channel") or b"<Response" in cha:
        fail("level=channel: channels differ or responses present")
    if b"<Sensor>" not in cha:
        fail("level=channel: no Sensor")
    # Text at each level: the same epochs as the document.
    for level, cols in [("network", 5), ("station", 8), ("channel", 17)]:
        h, b = expect("format=text&level=" + level, 200)
        lines = b.decode().splitlines()
        if not lines[0].startswith("#Network|") or any(len(l.split("|")) != cols for l in lines):
            fail(f"text level {level}: columns: {lines[:2]}")
        want = {"network": codes(net, "network"), "station": codes(sta, "station"), "channel": codes(cha, "channel")}[level]
        if len(lines) - 1 != len(want):
            fail(f"text level {level}: {len(lines) - 1} lines for {len(want)} elements")
    _, t = expect("format=text&level=channel&sta=HILL&cha=BHZ&loc=--&start=2004-06-01", 200)
    row = t.decode().splitlines()[1].split("|")
    if row[:4] != ["XY", "HILL", "", "BHZ"] or not row[11] or not row[13] or not row[15].startswith("20"):
        fail(f"text channel row: {row}")


def check_parameters():
    # Every parameter, by its long and short name, gives the same answer.
    pairs = [("network", "net", "XY"), ("station", "sta", "ST?"), ("location", "loc", "--,00"),
             ("channel", "cha", "BH*,LHZ"), ("starttime", "start", "2004-01-01"), ("endtime", "end", "2030-01-01T00:00:00Z"),
             ("minlatitude", "minlat", "-89"), ("maxlatitude", "maxlat", "89"), ("minlongitude", "minlon", "-179"),
             ("maxlongitude", "maxlon", "179")]
    for long, short, value in pairs:
        a = expect(f"level=channel&{long}={urllib.parse.quote(value)}", 200)[1]
        b = expect(f"level=channel&{short}={urllib.parse.quote(value)}", 200)[1]
        if without_created(a) != without_created(b):
            fail(f"{long} and {short} differ")
    for lat_name, lon_name in [("latitude", "longitude"), ("lat", "lon")]:
        expect(f"{lat_name}=0&{lon_name}=0&maxradius=180", 200)
    everything = len(codes(expect("level=channel", 200)[1], "channel"))
    stations = codes(expect("level=station", 200)[1], "station")
    # Selections narrow the answer.
    some = codes(expect("level=channel&sta=HILL&cha=BHZ", 200)[1], "channel")
    if not some or any(c[1] != "HILL" or c[3] != "BHZ" for c in some) or len(some) >= everything:
        fail(f"sta=HILL&cha=BHZ: {some}")
    blank = codes(expect("level=channel&loc=--", 200)[1], "channel")
    if not blank or any(c[2] != "" for c in blank):
        fail(f"loc=--: {blank}")
    # A channel asked for: stations without it are left out.
    expect("sta=HILL&cha=XYZ", 204)
    # Time bounds over the epochs.
    for params, test in [("startafter=2004-01-01", lambda s: s > "2004-01-01"), ("startbefore=2004-01-01", lambda s: s < "2004-01-01")]:
        s, h, b = query("level=station&" + params)
        got = codes(b, "station") if s == 200 else []
        want = [c for c in stations if test(c[2])]
        if got != want:
            fail(f"{params}: {got} for {want}")
    for params in ["endbefore=2100-01-01", "endafter=2100-01-01"]:
        s, h, b = query("level=station&" + params)
        if s not in (200, 204):
            fail(f"{params}: status {s}")
    # Places: a box around the station, one across 180 degrees that is not, and rings.
    h = ET.fromstring(expect("level=station&sta=HILL", 200)[1])
    lat = float(next(h.iter(NS + "Latitude")).text)
    lon = float(next(h.iter(NS + "Longitude")).text)
    expect(f"sta=HILL&minlat={lat - 1}&maxlat={lat + 1}&minlon={lon - 1}&maxlon={lon + 1}", 200)
    expect(f"sta=HILL&minlat={lat + 1}&maxlat={min(90, lat + 2)}", 204)
    far = lon + 180 if lon < 0 else lon - 180
    expect(f"sta=HILL&minlon={far + 1 if far + 1 <= 180 else far}&maxlon={far - 1 if far - 1 >= -180 else far}", 200,
           "a box across 180 degrees holding all but the far side")
    expect(f"sta=HILL&minlon={min(179, far + 1)}&maxlon={max(-179, far + 2) if far + 2 <= 180 else -179}", 204)
    expect(f"sta=HILL&lat={lat}&lon={lon}&maxradius=1", 200)
    expect(f"sta=HILL&lat={lat}&lon={lon}&minradius=1", 204)
    # updatedafter: the rows were loaded before the far future, not after it.
    expect("updatedafter=2999-01-01", 204)
    expect("updatedafter=1900-01-01&sta=HILL", 200)
    # A stage loaded later makes its channel epoch, and its station, updated; nothing else is.
    later = codes(expect("updatedafter=2029-01-01&level=channel", 200)[1], "channel")
    if not later or any(c[1] != "ST2" or c[3] != "BHE" for c in later):
        fail(f"updatedafter=2029-01-01: {later}")
    if {c[1] for c in codes(expect("updatedafter=2029-01-01", 200)[1], "station")} != {"ST2"}:
        fail("updatedafter=2029-01-01: stations other than ST2")
    expect("updatedafter=2031-01-01", 204)
    expect("includerestricted=false&sta=HILL", 200)
    expect("nodata=404&sta=NONE", 404)
    expect("sta=NONE", 204)
    expect("matchtimeseries=false&sta=HILL", 200)


def check_errors(limited):
    for params, why in [("bogus=1", "unknown parameter"), ("start=2004-13-01", "not a date"),
                        ("start=2004,001", "not a date"), ("maxradius=5", "latitude and longitude"),
                        ("level=response&format=text", "format=text"), ("level=everything", "not one of"),
                        ("lat=1&lon=2&maxradius=3&minlat=0", "cannot be combined"), ("net=X%20Y", "comma list"),
                        ("net=XY&network=XY", "given twice"), ("matchtimeseries=true", "not supported"),
                        ("includeavailability=true", "not supported"), ("minlat=95", "number from"),
                        ("start=2005-01-01&end=2004-01-01", "after endtime"), ("nodata=500", "not one of"),
                        ("net", "no value"), ("net=%zz", "percent")]:
        h, b = expect(params, 400)
        text = b.decode()
        if not text.startswith("Error 400: Bad Request\n") or why not in text or "Service version:\n1.1." not in text:
            fail(f"{params}: error text {text!r}")
        if "Request:\n/fdsnws/station/1/query?" not in text or "Request Submitted:\n" not in text:
            fail(f"{params}: error text without the request or time: {text!r}")
    s, h, b = get(limited + "/fdsnws/station/1/query?level=channel")
    if s != 413 or b"limit of 20" not in b or not b.startswith(b"Error 413: "):
        fail(f"over --max-channels: {s} {b!r}")
    if get(limited + "/fdsnws/station/1/query?level=response&sta=HILL")[0] != 200:
        fail("a station's channels, under the limit, are refused")
    if get(limited + "/fdsnws/station/1/query?level=station")[0] != 200:
        fail("the channel limit is for channel answers")
    if get(BASE + "/fdsnws/station/1/nothing")[0] != 404:
        fail("an unknown page is not 404")


def check_post():
    body = b"level=channel\nformat=text\nXY HILL -- BHZ 2004-01-01 *\nXY ST1 * LHZ * *\nXY ST1 * LHZ * 2030-01-01\n"
    s, h, b = get(Q, data=body)
    if s != 200:
        fail(f"POST: {s} {b!r}")
    rows = [tuple(l.split("|")[:4]) for l in b.decode().splitlines()[1:]]
    want = {("XY", "HILL", "", "BHZ"), ("XY", "ST1", "00", "LHZ")}
    if set(rows) != want:
        fail(f"POST rows {rows}")
    # Each line alone gives its part of the union.
    one = expect("level=channel&format=text&sta=HILL&loc=--&cha=BHZ&start=2004-01-01", 200)[1].decode().splitlines()[1:]
    if not set(one) <= set(b.decode().splitlines()[1:]):
        fail("POST: the union lacks a line's answer")
    for bad in [b"level=channel\n", b"XY HILL BHZ\n", b"network=XY\nXY HILL -- BHZ * *\n"]:
        if get(Q, data=bad)[0] != 400:
            fail(f"POST {bad!r} is not 400")
    # A body over --max-body is refused from its length, before it is sent.
    host, port = BASE.split("//")[1].split(":")
    conn = http.client.HTTPConnection(host, int(port), timeout=10)
    conn.putrequest("POST", "/fdsnws/station/1/query")
    conn.putheader("Content-Type", "text/plain")
    conn.putheader("Content-Length", str(2 << 20))
    conn.endheaders()
    if conn.getresponse().status != 413:
        fail("a POST body over --max-body is not 413")


def check_wadl():
    s, h, b = get(BASE + "/fdsnws/station/1/application.wadl")
    if s != 200:
        fail("no WADL")
    root = ET.fromstring(b)
    params = {p.get("name"): p for p in root.iter(WADL + "param")}
    for p in params.values():
        if not p.get("type", "").startswith("xs:"):
            fail(f"WADL param {p.get('name')} without an xs: type")
    # Exactly the accepted parameters: each one listed is accepted with a
    # value of its type; an unlisted name is refused.
    samples = {"xs:string": None, "xs:dateTime": "2004-01-01T00:00:00", "xs:double": "0", "xs:boolean": "true", "xs:int": "204"}
    # The parameters a radius parameter needs beside it.
    partners = {"latitude": "&lon=0&maxradius=180", "lat": "&lon=0&maxradius=180", "longitude": "&lat=0&maxradius=180",
                "lon": "&lat=0&maxradius=180", "minradius": "&lat=0&lon=0", "maxradius": "&lat=0&lon=0"}
    for name, p in params.items():
        options = [o.get("value") for o in p.iter(WADL + "option")]
        value = options[0] if options else samples[p.get("type")] or "*"
        if name == "level":
            value = "station"
        extra = partners.get(name, "")
        s, _, b = query(f"{name}={urllib.parse.quote(value)}{extra}")
        if s not in (200, 204):
            fail(f"WADL param {name}={value}{extra}: status {s} {b[:200]!r}")
    expected = {"network", "net", "station", "sta", "location", "loc", "channel", "cha", "starttime", "start", "endtime",
                "end", "startbefore", "startafter", "endbefore", "endafter", "minlatitude", "minlat", "maxlatitude",
                "maxlat", "minlongitude", "minlon", "maxlongitude", "maxlon", "latitude", "lat", "longitude", "lon",
                "minradius", "maxradius", "level", "format", "includerestricted", "updatedafter", "nodata"}
    if set(params) != expected:
        fail(f"WADL lists {sorted(set(params) ^ expected)} beyond or short of the service's parameters")
    if get(BASE + "/fdsnws/station/1/version")[2].decode().strip().split(".")[:2] != ["1", "1"]:
        fail("version is not 1.1.N")
    for page in ["/", "/fdsnws/station/1/"]:
        s, h, b = get(BASE + page)
        if s != 200 or not h.get("Content-Type", "").startswith("text/html") or b"<html" not in b:
            fail(f"page {page}")


def check_slow_client():
    """A client that sends a byte a second is cut off; others are served meanwhile."""
    host, port = BASE.split("//")[1].split(":")
    slow = socket.create_connection((host, int(port)))
    start = time.time()
    request = b"GET /fdsnws/station/1/version HTTP/1.1\r\nHost: x\r\n\r\n"
    cut = False
    for k in range(len(request)):
        try:
            slow.sendall(request[k:k + 1])
        except OSError:
            cut = True
            break
        if k % 3 == 0 and get(BASE + "/fdsnws/station/1/version", timeout=5)[0] != 200:
            fail("another client is not served while a slow one sends")
        time.sleep(1)
        if time.time() - start > 10:
            break
    slow.settimeout(10)
    try:
        data = slow.recv(4096)
    except OSError:
        data = b""
        cut = True
    if data.startswith(b"HTTP/1.1 200") and not cut:
        fail("a client sending a byte a second was answered, not cut off")
    if time.time() - start > 12:
        fail("the slow client was not cut off within the timeout")


def check_sigterm(pid):
    """SIGTERM with a request in flight: that answer is whole, then the service ends."""
    host, port = BASE.split("//")[1].split(":")
    conn = http.client.HTTPConnection(host, int(port), timeout=60)
    idle = http.client.HTTPConnection(host, int(port), timeout=60)
    idle.request("GET", "/fdsnws/station/1/version")
    idle.getresponse().read()
    conn.request("GET", "/fdsnws/station/1/query?level=response")
    r = conn.getresponse()
    first = r.read(100)
    os.kill(pid, signal.SIGTERM)
    rest = r.read()
    if r.status != 200 or not (first + rest).rstrip().endswith(b"</FDSNStationXML>"):
        fail("the answer in flight at SIGTERM is not whole")


def same(other, rounds):
    for k in range(rounds):
        for params in ["level=network", "level=station&format=text", "sta=ST1&level=channel", "sta=HILL&cha=BHZ&level=response",
                       "sta=NONE", "bogus=1"]:
            a, b = query(params), get(other + "/fdsnws/station/1/query?" + params)
            if a[0] != b[0] or (a[0] < 400 and a[2] != b[2]):
                fail(f"{params}: {a[0]} through the balancer, {b[0]} from one instance")


def fuzz(n, seed):
    rng = random.Random(seed)
    names = ["net", "sta", "loc", "cha", "start", "end", "level", "format", "minlat", "lat", "lon", "maxradius",
             "nodata", "updatedafter", "startbefore", "x", "", "%", "level=response&format"]
    values = ["XY", "*", "??", "--", "2004-01-01", "2004-02-30T25:00:00", "1e308", "-0", "nan", "", "%00", "%",
              "a" * 300, "response", "text", "404", "BH*,,", "\u00e9", "9" * 40, "*" * 50]
    for k in range(n):
        parts = [f"{rng.choice(names)}={urllib.parse.quote(rng.choice(values)) if rng.random() < .7 else rng.choice(values)}"
                 for _ in range(rng.randint(0, 5))]
        qs = "&".join(parts).replace(" ", "%20")
        try:
            s, _, _ = query(qs)
        except (http.client.HTTPException, OSError, ValueError) as e:
            # urllib refuses some URLs itself; anything the server answers must have a status.
            if isinstance(e, http.client.InvalidURL) or isinstance(e, ValueError):
                continue
            fail(f"fuzz {qs!r}: {e!r}")
        if s not in (200, 204, 400, 404, 413):
            fail(f"fuzz {qs!r}: status {s}")


def main():
    mode = sys.argv[2]
    if mode == "status":
        print(get(BASE + sys.argv[3])[0])
        return
    if mode == "fuzz":
        fuzz(int(sys.argv[3]), int(sys.argv[4]))
    elif mode == "same":
        same(sys.argv[3], int(sys.argv[4]))
    elif mode == "checks":
        check_export(sys.argv[3])
        check_parameters()
        check_errors(sys.argv[5])
        check_post()
        check_wadl()
        check_slow_client()
        check_sigterm(int(sys.argv[4]))
    print("ok")


main()
