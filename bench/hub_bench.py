#!/usr/bin/env python3
"""relayhub against a direct connection on loopback: the latency it adds to a status frame
(board to clients) and to a command frame (client to board), with 1 and 16 clients; its CPU
while idle and its resident memory. Figures are printed, never judged to pass or fail; the
last column only says whether this run met the target.

Started by bench/hub.sh, which builds relayhub and boardsim without sanitizers.
BENCH_IDLE_SECONDS (default 30) sets the idle measurement, BENCH_SAMPLES (default 1000)
the samples per latency figure.
"""

import os
import select
import socket
import sys
import tempfile
import time

# bench_common puts the tests' helpers on the path: the imports after it.
from bench_common import (accept_board, connect, drain, memory_kb, parse_programs,
                        percentile, print_table, read_exactly)
from panel_driver import Boardsim, frame
from relayhub_test import Hub

IDLE_SECONDS = int(os.environ.get("BENCH_IDLE_SECONDS", "30"))
SAMPLES = int(os.environ.get("BENCH_SAMPLES", "1000"))
QUERY = frame(0x10, 0)
ROWS = []


def cpu_seconds(pid):
    """CPU time of all the process's threads, in nanoseconds' resolution (schedstat)
    rather than clock ticks: the idle hub uses less than a tick in 30 s."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/schedstat", encoding="ascii") as stat:
            total += int(stat.read().split()[0])
    return total / 1e9


class Rig:
    """A board of this script's own (a listener it answers by hand), reached by the hub and
    by the clients of the direct path alike."""

    def __init__(self, directory):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.listener.settimeout(30)
        self.hub = Hub(directory, self.listener.getsockname()[1])
        self.upstream = accept_board(self.listener)
        self.hub.wait_log(r"board \S+ up", "the board up at the hub")
        self.clients = []

    def hub_clients(self, count):
        """count clients of the hub, those of earlier calls included."""
        self.clients += [connect(self.hub.port) for _ in range(count - len(self.clients))]
        self.hub.wait_log(rf"connected \({count} of", f"{count} clients")
        return self.clients

    def direct_clients(self, count):
        """count connections to the board itself, its ends as (board side, client side)."""
        pairs = []
        for _ in range(count):
            client = connect(self.listener.getsockname()[1])
            board, _ = self.listener.accept()
            board.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            pairs.append((board, client))
        return pairs


def status_times(send, clients, seq):
    """Nanoseconds from a status frame's send to its arrival at each client."""
    status = frame(0x10, seq & 0xFFFF)
    waiting = set(clients)
    start = time.perf_counter_ns()
    send(status)
    times = []
    while waiting:
        for client in select.select(list(waiting), [], [], 10)[0]:
            read_exactly(client, 8)
            times.append(time.perf_counter_ns() - start)
            waiting.discard(client)
    return times


def command_time(client, board, answer_to):
    """Nanoseconds from a command's send by client to its arrival at board; board answers
    with a status frame, which answer_to then read."""
    command = frame(0x12, 1)
    start = time.perf_counter_ns()
    client.sendall(command)
    while (received := read_exactly(board, 8)) == QUERY:
        pass
    elapsed = time.perf_counter_ns() - start
    board.sendall(frame(0x10, 1))
    for reader in answer_to:
        read_exactly(reader, 8)
    return elapsed


def row(what, how, through_hub, direct, target_ms, unit="ms"):
    added = through_hub - direct
    ROWS.append((what, how, f"{through_hub:.3f} {unit}", f"{direct:.3f} {unit}",
                 f"{added:.3f} {unit}", f"< {target_ms} {unit}",
                 "yes" if added < target_ms else "NO"))


def latencies(rig):
    for count in (1, 16):
        hub_side = rig.hub_clients(count)
        direct = rig.direct_clients(count)
        direct_boards = [board for board, _ in direct]
        direct_clients = [client for _, client in direct]
        via_hub, straight = [], []
        cmd_hub, cmd_straight = [], []
        for seq in range(SAMPLES):
            drain(rig.upstream)
            via_hub += status_times(rig.upstream.sendall, hub_side, seq)
            straight += status_times(lambda f: [b.sendall(f) for b in direct_boards],
                                     direct_clients, seq)
            sender = seq % count
            cmd_hub.append(command_time(hub_side[sender], rig.upstream, hub_side))
            cmd_straight.append(command_time(direct_clients[sender], direct_boards[sender],
                                             [direct_clients[sender]]))
        for board, client in direct:
            board.close()
            client.close()
        for name, hub_ns, direct_ns, how in (
                ("status frame board → clients", via_hub, straight,
                 "from the board's send to the arrival at each client (select over all, "
                 "one sample per client); direct: the board writes the frame to each client "
                 "itself"),
                ("command frame client → board", cmd_hub, cmd_straight,
                 "from a client's send of a switch to its arrival at the board, which then "
                 "answers (the answer read by every client)")):
            for label, p, target in (("median", 50, 0.5), ("p99", 99, 2)):
                row(f"{name}, {count} client{'s' if count > 1 else ''}, {label}",
                    f"{how}; {SAMPLES} frames",
                    percentile(hub_ns, p) / 1e6, percentile(direct_ns, p) / 1e6, target)


def idle(directory):
    board = Boardsim(directory)
    hub = Hub(directory, board.port)
    try:
        hub.wait_log(r"board \S+ up", "the board up")
        with connect(hub.port):
            hub.wait_log(r"connected \(1 of", "the client")
            time.sleep(1)
            before, start = cpu_seconds(hub.process.pid), time.monotonic()
            time.sleep(IDLE_SECONDS)
            used = cpu_seconds(hub.process.pid) - before
            percent = 100 * used / (time.monotonic() - start)
        ROWS.append(("idle CPU", f"CPU time of relayhub's threads (/proc/<pid>/task/*/schedstat)"
                     f" per wall second "
                     f"over {IDLE_SECONDS} s, polling boardsim every 600 ms, one client "
                     "connected receiving each status", f"{percent:.3f} %", "-", "-", "< 0.2 %",
                     "yes" if percent < 0.2 else "NO"))
    finally:
        hub.stop()
        board.stop()


def print_figures():
    print_table(("What", "Through the hub", "Direct", "Added", "Target", "Met"),
                [(r[0], *r[2:]) for r in ROWS])
    print("\nHow each figure is measured:")
    for how in dict.fromkeys(f"{r[0].split(',')[0]}: {r[1]}" for r in ROWS):
        print(f"- {how}")


def main():
    parse_programs(__doc__)
    with tempfile.TemporaryDirectory(prefix="kestrel-hub-bench-") as directory:
        print("bench: latencies ...", file=sys.stderr, flush=True)
        rig = Rig(directory)
        try:
            latencies(rig)
            rss, peak = memory_kb(rig.hub.process.pid), memory_kb(rig.hub.process.pid, "VmHWM")
            ROWS.append(("resident memory", "VmRSS (peak VmHWM) of relayhub after the latency "
                         "runs, 16 clients connected", f"{rss / 1024:.1f} MiB "
                         f"(peak {peak / 1024:.1f})", "-", "-", "< 8 MiB",
                         "yes" if peak < 8192 else "NO"))
        finally:
            rig.hub.stop()
        print("bench: idle ...", file=sys.stderr, flush=True)
        idle(directory)
    print_figures()


if __name__ == "__main__":
    main()
