#!/usr/bin/env python3
"""relayhub's MQTT over TLS against plain MQTT on loopback: the time from a status frame
at the board to the state message at a subscriber, through a hub on a plain listener and
one on a TLS listener of the same mosquitto; and the resident memory of both hubs.
Figures are printed, never judged to pass or fail; the last column only says whether this
run met the target.

Started by bench/hub.sh mqtt, which builds relayhub without sanitizers. BENCH_SAMPLES
(default 1000) sets the frames per path.
"""

import os
import select
import socket
import subprocess
import sys
import tempfile
import time

# bench_common puts the tests' helpers on the path: the imports after it.
from bench_common import accept_board, drain, memory_kb, parse_programs, percentile, print_table
from broker import free_port
from certs import make_certs
from panel_driver import frame, wait_for
from relayhub_test import Hub

SAMPLES = int(os.environ.get("BENCH_SAMPLES", "1000"))


class Path:
    """A board of this script's own (a listener it answers by hand) and its hub, which
    publishes as board_id on the broker's port with options."""

    def __init__(self, directory, board_id, port, *options):
        self.board_id = board_id
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        listener.settimeout(30)
        self.hub = Hub(directory, listener.getsockname()[1], "--mqtt", f"127.0.0.1:{port}",
                       "--board-id", board_id, "--no-discovery", *options)
        self.board = accept_board(listener)
        listener.close()
        self.hub.wait_log(r"MQTT broker \S+ up", f"{board_id}'s hub on the broker")

    def stop(self):
        self.hub.stop()
        self.board.close()


class Subscriber:
    """mosquitto_sub on the plain listener, its lines read as they come."""

    def __init__(self, port, topic):
        self.process = subprocess.Popen(
            ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-t", topic, "-F", "%t %p"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        self.buffer = b""

    def wait_line(self, line):
        deadline = time.monotonic() + 10
        while (end := self.buffer.find(b"\n")) < 0 or self.buffer[:end] != line:
            if end >= 0:
                self.buffer = self.buffer[end + 1:]
                continue
            if time.monotonic() > deadline:
                sys.exit(f"bench: no {line!r} at the subscriber within 10 s")
            if select.select([self.process.stdout], [], [], 1)[0]:
                chunk = os.read(self.process.stdout.fileno(), 65536)
                if not chunk:
                    sys.exit("bench: mosquitto_sub ended")
                self.buffer += chunk
        self.buffer = self.buffer[end + 1:]

    def stop(self):
        self.process.terminate()
        self.process.wait(30)
        self.process.stdout.close()


def broker(directory, certs):
    """mosquitto with a plain and a TLS listener; (process, plain port, TLS port)."""
    plain, tls = free_port(), free_port()
    config = os.path.join(directory, "mosquitto.conf")
    with open(config, "w", encoding="ascii") as file:
        file.write(f"per_listener_settings false\nallow_anonymous true\npersistence false\n"
                   f"user root\nlistener {plain} 127.0.0.1\nlistener {tls} 127.0.0.1\n"
                   f"cafile {certs.ca.cert}\ncertfile {certs.server.cert}\n"
                   f"keyfile {certs.server.key}\n")
    process = subprocess.Popen(["mosquitto", "-c", config], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for port in (plain, tls):
        wait_for(lambda: socket.socket().connect_ex(("127.0.0.1", port)) == 0,
                 f"mosquitto on {port}", timeout=30)
    return process, plain, tls


def state_times(paths, subscriber):
    """{board id: [ns]}: from the board's status frame that flips channel 1 to the state
    message at the subscriber, the paths in turn, which goes first alternating."""
    times = {path.board_id: [] for path in paths}
    for seq in range(SAMPLES):
        for path in paths if seq % 2 else reversed(paths):
            drain(path.board)
            on = seq % 2 == 0
            start = time.perf_counter_ns()
            path.board.sendall(frame(0x10, 1 if on else 0))
            subscriber.wait_line(f"kestrel/{path.board_id}/channel/1/state "
                                 f"{'ON' if on else 'OFF'}".encode())
            times[path.board_id].append(time.perf_counter_ns() - start)
    return times


def main():
    parse_programs(__doc__, boardsim=False)
    with tempfile.TemporaryDirectory(prefix="kestrel-mqtt-bench-") as directory:
        certs = make_certs(directory)
        process, plain_port, tls_port = broker(directory, certs)
        subscriber = Subscriber(plain_port, "kestrel/+/channel/1/state")
        paths = []
        try:
            paths = [Path(directory, "plain", plain_port),
                     Path(directory, "tls", tls_port, "--mqtt-tls", "--mqtt-ca",
                          certs.ca.cert)]
            print("bench: state messages ...", file=sys.stderr, flush=True)
            times = state_times(paths, subscriber)
            memory = {p.board_id: (memory_kb(p.hub.process.pid),
                                   memory_kb(p.hub.process.pid, "VmHWM")) for p in paths}
        finally:
            for path in paths:
                path.stop()
            subscriber.stop()
            process.terminate()
            process.wait(30)
    rows = []
    for label, p, target in (("median", 50, 1), ("p99", 99, None)):
        plain, tls = (percentile(times[i], p) / 1e6 for i in ("plain", "tls"))
        rows.append((f"status frame → MQTT subscriber, {label}", f"{tls:.3f} ms",
                     f"{plain:.3f} ms", f"{tls - plain:.3f} ms",
                     f"< {target} ms" if target else "–",
                     ("yes" if tls - plain < target else "NO") if target else "–"))
    for key, what in (("VmRSS", "resident memory"), ("VmHWM", "peak resident memory")):
        tls, plain = memory["tls"][key == "VmHWM"] / 1024, memory["plain"][key == "VmHWM"] / 1024
        rows.append((f"{what}, no --http", f"{tls:.1f} MiB", f"{plain:.1f} MiB",
                     f"{tls - plain:.1f} MiB", "< 10 MiB with TLS",
                     "yes" if tls < 10 else "NO"))
    print_table(("What", "TLS", "Plain", "Added", "Target", "Met"), rows)
    print(f"\n{SAMPLES} frames per path, the two paths in turn; a status frame written by this "
          "script's board flips channel 1, the time runs until mosquitto_sub (plain, on the "
          "same broker) has printed the hub's state message. Memory: /proc/<pid>/status of "
          "each hub after the run.")


if __name__ == "__main__":
    main()
