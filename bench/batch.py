#!/usr/bin/env python3
"""Batch benchmark: Mebrisk on a request for a whole synthetic network,
against the floor of the same work measured in the same run.

The network: N stations of 12 channels, 5 epochs each, every channel epoch
with a poles-zeros stage, a digitizer stage and a cascade of three FIR
filters (200, 300 and 400 taps), decimations, gains and comments. It is
loaded into SQLite, and a request file asks for every channel over all
time, so Mebrisk runs Lintaro 13 times per station and Quorvex 65 times.

The floor: as many starts of a minimal program that opens the database
file and closes it (bench_open_close), one after another, plus one read of
every row of the database. Then the same with the database grown tenfold
by stations nobody requests: the cost per channel epoch must not follow
the size of the database.

Usage: bench/batch.py [--stations N] [--jobs J] [--postgresql] [--build DIR]
  --jobs J      also time RESPONSE_JOBS=J against RESPONSE_JOBS=1
  --postgresql  the RESPONSE_JOBS timing also on the same network loaded
                into a throw-away PostgreSQL cluster (tests/pg-cluster.sh)
Prints a table; it measures, it is not a test.
"""

import argparse
import os
import sqlite3
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
CHANNELS = ["BHZ", "BHN", "BHE", "HHZ", "HHN", "HHE", "LHZ", "LHN", "LHE", "VHZ", "VHN", "VHE"]
YEARS = [2000, 2001, 2002, 2003, 2004]
TAPS = {1: 200, 2: 300, 3: 400}
LDDATE = "2000/01/01 00:00:00"


def epochs():
    for k, year in enumerate(YEARS):
        end = "2599/12/31 23:59:59" if k == len(YEARS) - 1 else "%d/12/31 23:59:59" % year
        yield "%d/01/01 00:00:00" % year, end


def station_code(k):
    return "B%04d" % k


def make_database(path, stations):
    """The schema, dictionaries and filters once, then the given stations."""
    db = sqlite3.connect(path)
    with open(os.path.join(PROJECT, "common", "schema", "sqlite.sql")) as schema:
        db.executescript(schema.read())
    with open(os.path.join(PROJECT, "demo", "10-dictionary.sql")) as dictionary:
        db.executescript(dictionary.read())
    db.executemany("INSERT INTO PZ_Data VALUES (1, ?, ?, ?, 0, ?, 0)",
                   [("Z", 1, 0, 0), ("Z", 2, 0, 0), ("P", 3, -0.037, 0.037), ("P", 4, -0.037, -0.037),
                    ("P", 5, -251.3, 0)])
    for key, taps in TAPS.items():
        db.execute("INSERT INTO DC VALUES (?, ?, 'A')", (key, "FIR.%d" % key))
        db.executemany("INSERT INTO DC_Data VALUES (?, 'N', ?, ?, 0)",
                       [(key, j, 1.0 / taps) for j in range(1, taps + 1)])
    db.executemany('INSERT INTO DM (key, samprate, factor, "offset", delay, correction) VALUES (?, ?, ?, 0, 0.01, 0.01)',
                   [(1, 200, 1), (2, 200, 2), (3, 100, 2), (4, 50, 2)])
    for k in stations:
        add_station(db, station_code(k))
    db.commit()
    db.close()


def add_station(db, sta):
    station_rows, comments, channels, channel_comments = [], [], [], []
    stages = {"pz": [], "c": [], "d": [], "s": []}
    for on, off in epochs():
        station_rows.append((sta, "XY", 46.1, 7.2, 900, "Bench " + sta, 5, 3210, 10, on, off, LDDATE))
        comments += [(sta, "XY", on, off, 1, 0, LDDATE), (sta, "XY", on, off, 2, 0, LDDATE)]
        for cha in CHANNELS:
            keys = (sta, "XY", cha, "  ", on, off)
            channels.append(keys[:3] + (cha, "SEED", "  ", 1, "", 2, 3, 46.1, 7.2, 900, 0, 0, -90, 1, 12, 25,
                                        0.0001, "CG", on, off, LDDATE))
            channel_comments.append(keys + (3, 0, LDDATE))
            stages["pz"].append(keys + (1, 1, "A", 2, 3, 5.9e7, 1, LDDATE))
            stages["c"].append(keys + (2, None, 3, 1, "D", LDDATE))
            for s in (3, 4, 5):
                stages["c"].append(keys + (s, s - 2, 1, 1, "D", LDDATE))
            for s in (2, 3, 4, 5):
                stages["d"].append(keys + (s, s - 1, LDDATE))
            for s in range(0, 6):
                stages["s"].append(keys + (s, 1500.0, 1, LDDATE))
    db.executemany("INSERT INTO station_data VALUES (?,?,?,?,?,?,?,?,?,?,?,?)", station_rows)
    db.executemany("INSERT INTO Station_Comment VALUES (?,?,?,?,?,?,?)", comments)
    db.executemany("INSERT INTO channel_data VALUES (" + ",".join("?" * 24) + ")", channels)
    db.executemany("INSERT INTO Channel_Comment VALUES (?,?,?,?,?,?,?,?,?)", channel_comments)
    db.executemany("INSERT INTO Poles_Zeros (sta, net, seedchan, location, ondate, offdate, stage_seq, pz_key, "
                   "tf_type, unit_in, unit_out, AO, AF, lddate) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)", stages["pz"])
    db.executemany("INSERT INTO Coefficients (sta, net, seedchan, location, ondate, offdate, stage_seq, dc_key, "
                   "unit_in, unit_out, tf_type, lddate) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)", stages["c"])
    db.executemany("INSERT INTO Decimation (sta, net, seedchan, location, ondate, offdate, stage_seq, dm_key, "
                   "lddate) VALUES (?,?,?,?,?,?,?,?,?)", stages["d"])
    db.executemany("INSERT INTO Sensitivity (sta, net, seedchan, location, ondate, offdate, stage_seq, "
                   "sensitivity, frequency, lddate) VALUES (?,?,?,?,?,?,?,?,?,?)", stages["s"])


def request(stations):
    return "".join("%s\tXY\t%s\t\t\t\t\t\t2000,001,00:00:00\t2599,365,23:59:59\n" % (station_code(k), cha)
                   for k in stations for cha in CHANNELS)


def timed(args, env=None, cwd=None):
    started = time.perf_counter()
    run = subprocess.run(args, env=env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return time.perf_counter() - started, run


def batch(bin_dir, db, req, jobs, work):
    """One Mebrisk run: wall time, number of programs started, the tree."""
    cwd = tempfile.mkdtemp(dir=work)
    with open(os.path.join(cwd, "req"), "w") as f:
        f.write(req)
    env = dict(os.environ, RESPONSE_DB=db, DATA_ROOT=os.path.join(cwd, "tree"), RESPONSE_JOBS=str(jobs))
    seconds, run = timed([os.path.join(bin_dir, "Mebrisk")], env=env, cwd=cwd)
    if run.returncode != 0:
        sys.exit("Mebrisk failed: %s" % run.stderr.decode()[-2000:])
    out = run.stdout.decode()
    starts = 1 + out.count("/Lintaro ") + out.count("/Quorvex ")
    return seconds, starts, out


def floor(bin_dir, db, starts):
    opener = os.path.join(bin_dir, "bench_open_close")
    spawn_seconds, run = timed([opener, db, str(starts)])
    if run.returncode != 0:
        sys.exit("bench_open_close failed")
    bulk_seconds, run = timed([opener, "--bulk", db])
    return spawn_seconds + bulk_seconds, spawn_seconds, bulk_seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--stations", type=int, default=20)
    parser.add_argument("--jobs", type=int, default=0)
    parser.add_argument("--postgresql", action="store_true")
    parser.add_argument("--build", default=os.path.join(PROJECT, "build"))
    args = parser.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    n = args.stations
    with tempfile.TemporaryDirectory(prefix="batch-bench-") as work:
        small, grown = os.path.join(work, "network.db"), os.path.join(work, "grown.db")
        make_database(small, range(n))
        make_database(grown, range(10 * n))
        req = request(range(n))
        channel_epochs = n * len(CHANNELS) * len(YEARS)

        print("%d stations requested, %d channel epochs, %d bytes of database (%d grown tenfold)"
              % (n, channel_epochs, os.path.getsize(small), os.path.getsize(grown)))
        print("%-22s %9s %9s %9s %7s %14s" % ("database", "batch s", "floor s", "starts", "ratio", "ms/chan epoch"))
        trees = []
        for name, db in (("requested only", small), ("grown tenfold", grown)):
            seconds, starts, out = batch(bin_dir, db, req, 1, work)
            total, spawn, bulk = floor(bin_dir, db, starts)
            print("%-22s %9.2f %9.2f %9d %7.2f %14.3f   (floor: %.2f s starts, %.2f s rows)"
                  % (name, seconds, total, starts, seconds / total, 1000 * seconds / channel_epochs, spawn, bulk))
            trees.append(out)
        if args.jobs > 1:
            backends = [("SQLite", small)]
            if args.postgresql:
                backends.append(("PostgreSQL", load_postgresql(small, work)))
            for name, db in backends:
                serial, _, out1 = batch(bin_dir, db, req, 1, work)
                parallel, _, outn = batch(bin_dir, db, req, args.jobs, work)
                print("%s, RESPONSE_JOBS=%d: %.2f s against %.2f s serial: speed-up %.2f, same output: %s"
                      % (name, args.jobs, parallel, serial, serial / parallel,
                         "yes" if strip(out1) == strip(outn) else "NO"))
            if args.postgresql:
                subprocess.run([os.path.join(PROJECT, "tests", "pg-cluster.sh"), "stop", os.path.join(work, "pg")],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def load_postgresql(sqlite_db, work):
    """A throw-away cluster holding the same rows; returns its RESPONSE_DB."""
    cluster, port = os.path.join(work, "pg"), str(20000 + os.getpid() % 20000)
    os.chmod(work, 0o755)
    subprocess.run([os.path.join(PROJECT, "tests", "pg-cluster.sh"), "start", cluster, port], check=True)
    bindir = sorted(d for d in os.listdir("/usr/lib/postgresql"))[-1]
    psql = ["/usr/lib/postgresql/%s/bin/psql" % bindir, "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", cluster,
            "-p", port, "-U", "postgres"]
    subprocess.run(psql + ["-d", "postgres", "-c", "CREATE DATABASE batch"], check=True)
    schema = os.path.join(PROJECT, "common", "schema")
    subprocess.run(psql + ["-d", "batch", "-f", os.path.join(schema, "postgresql.sql"), "-f",
                           os.path.join(schema, "postgresql-account.sql")], check=True)
    rows = subprocess.run([os.path.join(schema, "sqlite-to-postgresql.sh"), sqlite_db], check=True,
                          stdout=subprocess.PIPE).stdout
    subprocess.run(psql + ["-d", "batch"], input=rows, check=True)
    subprocess.run(psql + ["-d", "batch", "-c", "ANALYZE"], check=True)
    return "postgresql://127.0.0.1:%s/batch" % port


def strip(out):
    """Mebrisk's output without the run's own temporary directory names."""
    return "\n".join(line for line in out.splitlines() if "Using root path" not in line)


if __name__ == "__main__":
    main()
