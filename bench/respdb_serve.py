#!/usr/bin/env python3
"""respdb serve on the batch benchmark's generated network (bench/batch.py:
N stations of 12 channels and 5 epochs, three FIRs per channel epoch), on
loopback, beside nginx serving the identical answer bytes from a static
file, measured in the same run.

Per query: requests per second and p50/p99 latency with wrk (a bounded
client of threads and urllib when wrk is not installed), for
  level=station of the whole network
  level=channel of one station
  level=response of one channel epoch, and of one station
and the time of level=response for the whole network (one request). Then
resident memory of the service before and after --memory-seconds of
level=response of one channel.

Usage: bench/respdb_serve.py [--stations N] [--postgresql] [--build DIR]
                             [--duration S] [--connections C] [--memory-seconds S]
Prints a table; it measures, it is not a test. Everything listens on
127.0.0.1 only and stops when the run ends.
"""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import batch  # noqa: E402

PROJECT = os.path.dirname(HERE)
QUERIES = [
    ("level=station, whole network", "level=station"),
    ("level=channel, one station", "level=channel&sta=B0001"),
    ("level=response, one channel", "level=response&sta=B0001&cha=BHZ&start=2004-06-01&end=2004-06-01"),
    ("level=response, one station", "level=response&sta=B0001"),
]


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def fetch(url):
    with urllib.request.urlopen(url, timeout=600) as r:
        return r.read()


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def wrk(url, duration, connections):
    """(requests/s, p50 ms, p99 ms, requests) of a wrk run."""
    out = subprocess.run(["wrk", "-t", "2", "-c", str(connections), "-d", "%ds" % duration, "--latency", url],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=True).stdout.decode()

    def ms(label):
        m = re.search(r"^\s*%s%%\s+([\d.]+)(us|ms|s)\s*$" % label, out, re.M)
        if not m:
            return float("nan")
        return float(m.group(1)) * {"us": 0.001, "ms": 1, "s": 1000}[m.group(2)]

    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    total = int(re.search(r"(\d+) requests in", out).group(1))
    if "Non-2xx" in out:
        sys.exit("wrk saw failed answers for %s:\n%s" % (url, out))
    return rate, ms("50"), ms("99"), total


def own_client(url, duration, connections):
    """The same figures from threads of urllib, for a machine without wrk."""
    latencies, lock, stop = [], threading.Lock(), time.time() + duration

    def worker():
        while time.time() < stop:
            t = time.perf_counter()
            fetch(url)
            with lock:
                latencies.append((time.perf_counter() - t) * 1000)

    threads = [threading.Thread(target=worker) for _ in range(connections)]
    start = time.time()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    latencies.sort()
    n = len(latencies)
    return n / (time.time() - start), latencies[n // 2], latencies[min(n - 1, n * 99 // 100)], n


def start_nginx(root, port, work):
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write("daemon off;\nworker_processes 2;\nerror_log %s/nginx-error.log;\npid %s/nginx.pid;\nevents {}\n"
                "http {\n  access_log off;\n  client_body_temp_path %s;\n  proxy_temp_path %s;\n"
                "  fastcgi_temp_path %s;\n  uwsgi_temp_path %s;\n  scgi_temp_path %s;\n"
                "  server {\n    listen 127.0.0.1:%d;\n    root %s;\n    default_type application/xml;\n  }\n}\n"
                % (work, work, work, work, work, work, work, port, root))
    p = subprocess.Popen(["nginx", "-c", conf, "-p", work])
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port)).close()
            return p
        except OSError:
            time.sleep(0.05)
    sys.exit("nginx did not start")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--stations", type=int, default=100)
    parser.add_argument("--postgresql", action="store_true")
    parser.add_argument("--build", default=os.path.join(PROJECT, "build"))
    parser.add_argument("--duration", type=int, default=5)
    parser.add_argument("--connections", type=int, default=4)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--memory-seconds", type=int, default=60)
    args = parser.parse_args()
    load = wrk if shutil.which("wrk") else own_client
    has_nginx = shutil.which("nginx") is not None

    work = tempfile.mkdtemp(prefix="respdb-serve-bench-")
    service = nginx = None
    try:
        db = os.path.join(work, "batch.db")
        batch.make_database(db, range(1, args.stations + 1))
        alias = batch.load_postgresql(db, work) if args.postgresql else db
        port = free_port()
        log = open(os.path.join(work, "serve.log"), "w")
        service = subprocess.Popen([os.path.join(args.build, "bin", "respdb"), "serve", "--listen", "127.0.0.1:%d" % port,
                                    "--threads", str(args.threads), "--max-channels", "0"],
                                   env=dict(os.environ, RESPONSE_DB=alias, SOURCE_DATE_EPOCH="1700000000"),
                                   stdout=log, stderr=subprocess.STDOUT)
        base = "http://127.0.0.1:%d/fdsnws/station/1/query?" % port
        for _ in range(200):
            try:
                fetch(base.replace("query?", "version"))
                break
            except OSError:
                time.sleep(0.05)
        root = os.path.join(work, "static")
        os.mkdir(root)
        for k, (_, q) in enumerate(QUERIES):
            with open(os.path.join(root, "q%d.xml" % k), "wb") as f:
                f.write(fetch(base + q))
        nginx_port = free_port()
        if has_nginx:
            nginx = start_nginx(root, nginx_port, work)

        backend = "PostgreSQL" if args.postgresql else "SQLite"
        print("respdb serve, %d stations on %s, %d workers, %s with %d connections for %d s each (loopback, 2 shared cores)"
              % (args.stations, backend, args.threads, load.__name__, args.connections, args.duration))
        print("%-32s %10s %9s %9s %9s | %10s %9s %9s" % ("query", "bytes", "req/s", "p50 ms", "p99 ms", "nginx r/s",
                                                       "p50 ms", "p99 ms"))
        for k, (name, q) in enumerate(QUERIES):
            size = os.path.getsize(os.path.join(root, "q%d.xml" % k))
            rate, p50, p99, _ = load(base + q, args.duration, args.connections)
            if nginx:
                nrate, n50, n99, _ = load("http://127.0.0.1:%d/q%d.xml" % (nginx_port, k), args.duration, args.connections)
            else:
                nrate = n50 = n99 = float("nan")
            print("%-32s %10d %9.0f %9.2f %9.2f | %10.0f %9.2f %9.2f" % (name, size, rate, p50, p99, nrate, n50, n99))

        times = []
        for _ in range(3):
            t = time.perf_counter()
            whole = fetch(base + "level=response")
            times.append(time.perf_counter() - t)
        print("level=response, whole network: %d bytes in %.2f s (best of 3)" % (len(whole), min(times)))

        # Resident memory over many requests, in rounds of a few seconds.
        before = rss_kb(service.pid)
        done, samples, stop = 0, [], time.time() + args.memory_seconds
        while time.time() < stop:
            done += load(base + QUERIES[2][1], 5, args.connections)[3]
            samples.append(rss_kb(service.pid))
        after = rss_kb(service.pid)
        print("resident memory: %d KiB after the runs above, %d KiB after %d more requests (%+.1f %%); samples %s"
              % (before, after, done, 100.0 * (after - before) / before, " ".join(str(s) for s in samples)))
    finally:
        for p in (service, nginx):
            if p and p.poll() is None:
                p.send_signal(signal.SIGTERM)
                p.wait()
        if args.postgresql:
            subprocess.run([os.path.join(PROJECT, "tests", "pg-cluster.sh"), "stop", os.path.join(work, "pg")],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
