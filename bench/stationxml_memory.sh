#!/bin/sh
# Peak memory of seedtree stationxml on generated networks of 30 and 1,000
# stations (copies of the demo station, bench/make_network.py): the
# document is written as it goes and the tree read one station directory
# at a time, so the larger network must stay within 30 % of the smaller.
# Usage: bench/stationxml_memory.sh [BUILD_DIR] [SOURCE_TREE]
#   (default: build and BUILD_DIR/demo-output/tree, which ./demo.sh makes)
# Exit status 0 when within 30 %, 1 otherwise; needs GNU time (/usr/bin/time).
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
source=${2:-$build/demo-output/tree}
[ -x /usr/bin/time ] || { echo "stationxml_memory: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
[ -f "$source/H.A" ] || { echo "stationxml_memory: no header tree at $source (run ./demo.sh)" >&2; exit 1; }

work=$(mktemp -d /tmp/stationxml-memory-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
peak() {  # peak resident size in KiB of converting a network of $1 stations
  python3 bench/make_network.py "$source" "$work/tree$1" "$1"
  SOURCE_DATE_EPOCH=0 /usr/bin/time -f %M -o "$work/rss$1" "$build/bin/seedtree" stationxml "$work/tree$1" -o "$work/net$1.xml"
  cat "$work/rss$1"
}
small=$(peak 30)
large=$(peak 1000)
echo "peak resident size: 30 stations $small KiB ($(wc -c <"$work/net30.xml") bytes of XML)," \
     "1000 stations $large KiB ($(wc -c <"$work/net1000.xml") bytes of XML)"
if [ "$large" -le $((small * 130 / 100)) ]; then
  echo "within 30 %"
else
  echo "more than 30 % above the small network" >&2
  exit 1
fi
