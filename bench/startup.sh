#!/bin/sh
# Start-up cost of every program, against the floor: a minimal C program
# that opens the same SQLite file and closes it (bench_open_close). Each
# command runs RUNS times (default 300) in turn with the others, so that the
# machine's noise falls on all of them alike; the table gives the median
# and its ratio to the floor. Several build directories (e.g. before and
# after a change) are measured in the same run.
#
# Usage: bench/startup.sh [BUILD_DIR ...]     (default: build)
set -eu
cd "$(dirname "$0")/.."
runs=${RUNS:-300}
[ $# -gt 0 ] || set -- build
db=$(pwd)/build/demo.db
work=$(mktemp -d /tmp/rtools-startup-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM

python3 - "$runs" "$db" "$work" "$@" <<'EOF'
import os, statistics, subprocess, sys, time

runs, db, work, builds = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
env = dict(os.environ, RESPONSE_DB=db)
floor = [os.path.abspath(os.path.join(builds[0], "bin", "bench_open_close")), db]
commands = [("floor: open and close the database", floor)]
for build in builds:
    b = os.path.abspath(os.path.join(build, "bin"))
    tag = build if len(builds) > 1 else ""
    for name, args in [("Quorvex usage", ["Quorvex"]), ("Quorvex listing", ["Quorvex", "HILL.XY"]),
                       ("Lintaro usage", ["Lintaro"]), ("Lintaro listing", ["Lintaro", "HILL.XY"]),
                       ("dovrak usage", ["dovrak"]), ("selkam usage", ["selkam"])]:
        commands.append(((tag + ": " if tag else "") + name, [os.path.join(b, args[0])] + args[1:]))
times = {name: [] for name, _ in commands}
for _ in range(runs):
    for name, args in commands:
        t = time.perf_counter()
        subprocess.run(args, env=env, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times[name].append(time.perf_counter() - t)
base = statistics.median(times[commands[0][0]])
print("%-40s %10s %8s" % ("command", "median ms", "x floor"))
for name, _ in commands:
    m = statistics.median(times[name])
    print("%-40s %10.2f %8.2f" % (name, 1000 * m, m / base))
EOF
