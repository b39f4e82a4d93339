#!/usr/bin/env python3
"""respdb export against the batch and against its floor, on the batch
benchmark's generated networks (bench/batch.py: 12 channels, 5 epochs, three
FIRs of 200, 300 and 400 taps per channel epoch), SQLite and PostgreSQL.

Per network of N stations (default 20 and 100), side by side in one run:
  export --tree        against Mebrisk serial and RESPONSE_JOBS=2 on the same
                       request (every channel over all time): the trees are
                       compared too (the export writes each record once, so
                       they must be equal but for repeats)
  export --stationxml  against its floor: one bulk read of every row
                       (bench_open_close --bulk on SQLite, COPY of every table
                       through psql on PostgreSQL) plus writing the document's
                       bytes (a copy of a file of its size)
  per channel epoch    --stationxml on the database grown tenfold by stations
                       nobody requests
  peak memory          of --stationxml, for the smallest and largest network
  --jobs 2             speed-up of --stationxml

Usage: bench/respdb_export.py [--stations N ...] [--no-mebrisk] [--postgresql] [--build DIR] [--repeat K]
Prints tables; it measures, it is not a test. The machine is shared and
noisy: each timing is the best of --repeat runs (default 3).
"""

import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import batch  # noqa: E402

ENV = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")


def best(runs, fn):
    times = []
    result = None
    for _ in range(runs):
        started = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - started)
    return min(times), result


def run(args, **kw):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)
    if r.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(args), r.stderr.decode()[-2000:]))
    return r


def export(bin_dir, db, work, *options):
    out = tempfile.mkdtemp(dir=work)
    args = [os.path.join(bin_dir, "respdb"), "export", "--quiet", "--database", db]
    for o in options:
        args.append(o.replace("@", out))
    run(args, env=ENV)
    return out


def peak_kb(bin_dir, db, work, *options):
    out = tempfile.mkdtemp(dir=work)
    args = ["/usr/bin/time", "-f", "%M", os.path.join(bin_dir, "respdb"), "export", "--quiet", "--database", db]
    args += [o.replace("@", out) for o in options]
    r = run(args, env=ENV)
    return int(r.stderr.decode().strip().splitlines()[-1])


def bulk_read(bin_dir, db, pg):
    if not pg:
        run([os.path.join(bin_dir, "bench_open_close"), "--bulk", db])
        return
    psql, name = pg
    tables = run(psql + ["-d", name, "-At", "-c",
                         "select tablename from pg_tables where schemaname = 'public'"]).stdout.decode().split()
    script = "".join("COPY \"%s\" TO STDOUT;\n" % t for t in tables)
    subprocess.run(psql + ["-d", name], input=script.encode(), stdout=subprocess.DEVNULL, check=True)


def copy_of(path, work):
    target = os.path.join(work, "copy")
    shutil.copyfile(path, target)
    os.remove(target)


def trees_equal(a, b):
    cmp = filecmp.dircmp(a, b)
    def walk(c):
        if c.left_only or c.right_only or c.diff_files or c.funny_files:
            return False
        return all(walk(s) for s in c.subdirs.values())
    return walk(cmp)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--stations", type=int, nargs="+", default=[20, 100])
    parser.add_argument("--no-mebrisk", action="store_true")
    parser.add_argument("--postgresql", action="store_true")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--build", default=os.path.join(batch.PROJECT, "build"))
    args = parser.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    with tempfile.TemporaryDirectory(prefix="respdb-bench-") as work:
        os.chmod(work, 0o755)
        backends = []
        for n in args.stations:
            small, grown = os.path.join(work, "n%d.db" % n), os.path.join(work, "n%d-grown.db" % n)
            batch.make_database(small, range(n))
            batch.make_database(grown, range(10 * n))
            backends.append(("SQLite", n, small, grown, None))
        if args.postgresql:
            psql, port = start_cluster(work)
            for n in args.stations:
                for suffix, path in (("", "n%d.db" % n), ("grown", "n%d-grown.db" % n)):
                    run(psql + ["-d", "postgres", "-c", "CREATE DATABASE n%d%s" % (n, suffix)])
                    load_into(psql, "n%d%s" % (n, suffix), os.path.join(work, path))
                backends.append(("PostgreSQL", n, "postgresql://127.0.0.1:%s/n%d" % (port, n),
                                 "postgresql://127.0.0.1:%s/n%dgrown" % (port, n), (psql, "n%d" % n)))

        print("%-10s %8s %9s | %9s %9s %9s %7s %7s | %9s %9s %6s | %9s %9s %6s | %8s %7s"
              % ("backend", "stations", "ch.epochs", "Mebrisk", "jobs=2", "--tree", "x ser.", "same",
                 "--sxml", "floor", "ratio", "ms/ch.ep", "grown", "ratio", "peak MB", "jobs 2x"))
        peaks = {}
        for name, n, db, grown, pg in backends:
            channel_epochs = n * len(batch.CHANNELS) * len(batch.YEARS)
            req = batch.request(range(n))
            if args.no_mebrisk:
                mebrisk = jobs2 = float("nan")
                same = "-"
            else:
                mebrisk, mebrisk_tree = mebrisk_run(bin_dir, db, req, 1, work)
                jobs2, _ = mebrisk_run(bin_dir, db, req, 2, work)
            tree_s, tree = best(args.repeat, lambda: export(bin_dir, db, work, "--tree", "@/tree"))
            if not args.no_mebrisk:
                same = "yes" if trees_equal(os.path.join(tree, "tree"), mebrisk_tree) else "NO"
            xml_s, out = best(args.repeat, lambda: export(bin_dir, db, work, "--stationxml", "@/doc.xml"))
            document = os.path.join(out, "doc.xml")
            floor_s, _ = best(args.repeat, lambda: (bulk_read(bin_dir, db, pg), copy_of(document, work)))
            grown_s, _ = best(args.repeat, lambda: export(bin_dir, grown, work, "--stationxml", "@/doc.xml",
                                                          "--station", ",".join(batch.station_code(k) for k in range(n))))
            jobs_s, out2 = best(args.repeat, lambda: export(bin_dir, db, work, "--stationxml", "@/doc.xml", "--jobs", "2"))
            if not filecmp.cmp(document, os.path.join(out2, "doc.xml"), shallow=False):
                print("  --jobs 2 gave other bytes!")
            peak = peak_kb(bin_dir, db, work, "--stationxml", "@/doc.xml") / 1024
            peaks.setdefault(name, []).append((n, peak))
            print("%-10s %8d %9d | %9.2f %9.2f %9.2f %7.1f %7s | %9.2f %9.2f %6.2f | %9.3f %9.3f %6.2f | %8.1f %7.2f"
                  % (name, n, channel_epochs, mebrisk, jobs2, tree_s, mebrisk / tree_s, same, xml_s, floor_s,
                     xml_s / floor_s, 1000 * xml_s / channel_epochs, 1000 * grown_s / channel_epochs, grown_s / xml_s,
                     peak, xml_s / jobs_s))
            print("%-10s document %d bytes" % ("", os.path.getsize(document)))
        for name, rows in peaks.items():
            if len(rows) > 1:
                print("%s: peak memory of --stationxml %.1f MB at %d stations, %.1f MB at %d stations (%+.0f %%)"
                      % (name, rows[0][1], rows[0][0], rows[-1][1], rows[-1][0], 100 * (rows[-1][1] / rows[0][1] - 1)))
        if args.postgresql:
            subprocess.run([os.path.join(batch.PROJECT, "tests", "pg-cluster.sh"), "stop", os.path.join(work, "pg")],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def mebrisk_run(bin_dir, db, req, jobs, work):
    """Mebrisk on req: its wall time and its tree."""
    cwd = tempfile.mkdtemp(dir=work)
    with open(os.path.join(cwd, "req"), "w") as f:
        f.write(req)
    env = dict(ENV, RESPONSE_DB=db, DATA_ROOT=os.path.join(cwd, "tree"), RESPONSE_JOBS=str(jobs))
    started = time.perf_counter()
    run([os.path.join(bin_dir, "Mebrisk")], env=env, cwd=cwd)
    return time.perf_counter() - started, os.path.join(cwd, "tree")


def start_cluster(work):
    """A throw-away PostgreSQL cluster (tests/pg-cluster.sh): psql's command and the port."""
    cluster, port = os.path.join(work, "pg"), str(20000 + os.getpid() % 20000)
    subprocess.run([os.path.join(batch.PROJECT, "tests", "pg-cluster.sh"), "start", cluster, port], check=True,
                   stdout=subprocess.DEVNULL)
    bindir = sorted(os.listdir("/usr/lib/postgresql"))[-1]
    psql = ["/usr/lib/postgresql/%s/bin/psql" % bindir, "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", cluster,
            "-p", port, "-U", "postgres"]
    return psql, port


def load_into(psql, name, sqlite_db):
    schema = os.path.join(batch.PROJECT, "common", "schema")
    run(psql + ["-d", name, "-f", os.path.join(schema, "postgresql.sql"), "-f",
                os.path.join(schema, "postgresql-account.sql")])
    rows = run([os.path.join(schema, "sqlite-to-postgresql.sh"), sqlite_db]).stdout
    subprocess.run(psql + ["-d", name], input=rows, check=True, stdout=subprocess.DEVNULL)
    run(psql + ["-d", name, "-c", "ANALYZE"])


if __name__ == "__main__":
    main()
