#!/bin/sh
# The main job on the bundled demo, from a fresh Debian 12 machine: installs
# what is missing, builds the tool set, makes the header tree of the demo
# network from demo/req and the demo database, its dataless SEED volume, its
# FDSN StationXML, its response checks, a Bode plot and its web site, and
# says where they are.
# Usage: ./demo.sh [OUTPUT_DIR]   (default: build/demo-output)
set -eu
cd "$(dirname "$0")"
tools/install-packages.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

out=$(mkdir -p "${1:-build/demo-output}" && cd "${1:-build/demo-output}" && pwd)
rm -rf "$out/tree"
status=0
(cd demo && RESPONSE_DB=../build/demo.db DATA_ROOT="$out/tree" ../build/bin/Mebrisk >"$out/mebrisk.log") || status=$?

[ $status = 0 ] && build/bin/seedtree volume "$out/tree" -o "$out/demo.seed" || status=1
[ $status = 0 ] && build/bin/seedtree stationxml "$out/tree" -o "$out/demo.xml" || status=1
[ $status = 0 ] && build/bin/seedtree site "$out/tree" -o "$out/site" --with-files || status=1
[ $status = 0 ] && build/bin/seedtree check "$out/tree" >"$out/check.txt" || status=1
[ $status = 0 ] && build/bin/seedtree plot "$out/tree" --channel HILL.XY..BHZ -o "$out/bhz.png" || status=1

echo "Header tree:  $out/tree ($(find "$out/tree" -type f | wc -l) files; H.A, HILL.XY/B050, HILL.XY/BHZ./B052, ...)"
echo "Run log:      $out/mebrisk.log"
echo "Volume:       $out/demo.seed (dataless SEED 2.4)"
echo "StationXML:   $out/demo.xml (FDSN StationXML 1.2)"
echo "Checks:       $out/check.txt ($(tail -n 1 "$out/check.txt"))"
echo "Bode plot:    $out/bhz.png (HILL.XY..BHZ)"
echo "Web site:     $out/site/index.html (open it in a browser: file://$out/site/index.html)"
exit $status
