#!/usr/bin/env python3
"""relayhub's /metrics: the time of one scrape with 16 clients of the board's protocol
connected, over a kept connection (as Prometheus scrapes) and over a new one each time.
Figures are printed, never judged to pass or fail; the last column only says whether this
run met the target.

Started by bench/hub.sh metrics, which builds relayhub and boardsim without sanitizers.
"""

import http.client
import shutil
import statistics
import tempfile
import time

# bench_common puts the tests' helpers on the path: the imports after it.
from bench_common import parse_programs
from panel_driver import Boardsim, wait_for
from relayhub_test import Client
from web_test import WebHub

CLIENTS = 16
SCRAPES = 500


def scrape(connection):
    connection.request("GET", "/metrics")
    reply = connection.getresponse()
    body = reply.read()
    if reply.status != 200 or b"kestrel_clients 16" not in body:
        raise AssertionError(f"/metrics: {reply.status} {body[:200]!r}")
    return len(body)


def times_ms(hub, kept):
    connection = http.client.HTTPConnection("127.0.0.1", hub.http_port, timeout=10)
    times = []
    for _ in range(SCRAPES):
        start = time.perf_counter()
        if not kept:
            connection = http.client.HTTPConnection("127.0.0.1", hub.http_port, timeout=10)
        size = scrape(connection)
        if not kept:
            connection.close()
        times.append((time.perf_counter() - start) * 1000)
    connection.close()
    return times, size


def main():
    parse_programs(__doc__)
    directory = tempfile.mkdtemp(prefix="kestrel-metrics-bench-")
    board = Boardsim(directory)
    hub = None
    clients = []
    try:
        hub = WebHub(directory, board.port)
        hub.wait_connected(True)
        clients = [Client(hub.port) for _ in range(CLIENTS)]
        wait_for(lambda: hub.log().count(f"({CLIENTS} of") > 0, f"{CLIENTS} clients", 30)
        kept, size = times_ms(hub, True)
        fresh, _ = times_ms(hub, False)
    finally:
        for client in clients:
            client.close()
        if hub:
            hub.stop()
        board.stop()
        shutil.rmtree(directory, ignore_errors=True)

    def met(value):
        return "yes" if value < 5 else "NO"
    rows = []
    for what, times in (("kept connection", kept), ("new connection each", fresh)):
        median = statistics.median(times)
        p99 = statistics.quantiles(times, n=100)[98]
        rows += [(f"scrape, {CLIENTS} clients, {what}, median", f"{median:.2f} ms", "< 5 ms",
                  met(median)),
                 (f"scrape, {CLIENTS} clients, {what}, 99th percentile", f"{p99:.2f} ms",
                  "-", "-")]
    rows.append(("scrape size", f"{size} bytes", "-", "-"))
    print("| What | Result | Target | Met |\n|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
