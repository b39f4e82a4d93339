#!/bin/sh
# Peak memory of stationxml2sql on generated networks of 10 and 2,000
# stations of three channels each, copies of an FDSN example's station:
# the documents are read one Channel element at a time, so the larger
# network must stay within 30 % of the smaller.
# Usage: bench/stationxml2sql_memory.sh [BUILD_DIR] [EXAMPLE]
#   (default: build and ../shared/stationxml-examples/sts-2_rt130.xml)
# Exit status 0 when within 30 %, 1 otherwise; needs GNU time (/usr/bin/time).
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
example=${2:-../shared/stationxml-examples/sts-2_rt130.xml}
[ -x /usr/bin/time ] || { echo "stationxml2sql_memory: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
[ -f "$example" ] || { echo "stationxml2sql_memory: no StationXML example at $example" >&2; exit 1; }

work=$(mktemp -d /tmp/stationxml2sql-memory-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
# The example's first station, copied as S0000, S0001, ..., each with its
# first channel as BHZ, BHN and BHE.
python3 - "$example" "$work" <<'PY'
import sys
source = open(sys.argv[1]).read()
head = source[:source.index("<Station ")]
station = source[source.index("<Station "):source.index("</Station>")]
channel = station[station.index("<Channel "):station.index("</Channel>") + len("</Channel>")]
station_head = station[:station.index("<Channel ")]
code = station_head[station_head.index('code="') + 6:].split('"')[0]
channel_code = channel[channel.index('code="') + 6:].split('"')[0]
for n in (10, 2000):
    with open("%s/net%d.xml" % (sys.argv[2], n), "w") as out:
        out.write(head)
        for k in range(n):
            out.write(station_head.replace('code="%s"' % code, 'code="S%04d"' % k, 1))
            for c in ("BHZ", "BHN", "BHE"):
                out.write(channel.replace('code="%s"' % channel_code, 'code="%s"' % c, 1))
            out.write("</Station>\n")
        out.write("</Network>\n</FDSNStationXML>\n")
PY
peak() {  # peak resident size in KiB of importing the network of $1 stations
  SOURCE_DATE_EPOCH=0 /usr/bin/time -f %M -o "$work/rss$1" "$build/bin/stationxml2sql" "$work/net$1.xml" -o "$work/net$1.sql"
  cat "$work/rss$1"
}
small=$(peak 10)
large=$(peak 2000)
echo "peak resident size: 10 stations $small KiB ($(wc -c <"$work/net10.xml") bytes of XML)," \
     "2000 stations $large KiB ($(wc -c <"$work/net2000.xml") bytes of XML)"
if [ "$large" -le $((small * 130 / 100)) ]; then
  echo "within 30 %"
else
  echo "more than 30 % above the small network" >&2
  exit 1
fi
