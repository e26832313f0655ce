"""What the bench scripts share: the test helpers on the path, relayhub's and boardsim's
programs from the command line, a process's memory, percentiles, raw board sockets and the
padded table."""

import argparse
import os
import select
import socket
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "panelprobe"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "relayhub"))
from panel_driver import Paths, frame  # noqa: E402
from relayhub_test import PROGRAMS  # noqa: E402


def parse_programs(doc, boardsim=True):
    """--relayhub (and --boardsim), made absolute and handed to the test helpers."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    parser.add_argument("--relayhub", required=True)
    if boardsim:
        parser.add_argument("--boardsim", required=True)
    args = parser.parse_args()
    PROGRAMS["relayhub"] = os.path.abspath(args.relayhub)
    if boardsim:
        Paths.boardsim = os.path.abspath(args.boardsim)


def memory_kb(pid, key="VmRSS"):
    """A kB figure of /proc/<pid>/status: VmRSS, or VmHWM for the peak."""
    with open(f"/proc/{pid}/status", encoding="ascii", errors="replace") as status:
        return int(next(line for line in status if line.startswith(key + ":")).split()[1])


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(p / 100 * len(ordered)))]


def connect(port):
    client = socket.create_connection(("127.0.0.1", port), timeout=10)
    client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return client


def read_exactly(sock, size):
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            sys.exit("bench: a connection closed during the measurement")
        data += chunk
    return data


def drain(sock):
    """Whatever has arrived (the hub's queries at the board), without waiting."""
    while select.select([sock], [], [], 0)[0]:
        if not sock.recv(65536):
            sys.exit("bench: the hub closed the board's connection")


def accept_board(listener):
    """The hub's connection to a board this script answers by hand, past its first query,
    which is answered with all channels off."""
    board, _ = listener.accept()
    board.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    read_exactly(board, 8)
    board.sendall(frame(0x10, 0))
    return board


def print_table(header, rows):
    """A Markdown table padded to its columns' widths."""
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for r in [header, tuple("-" * w for w in widths)] + rows:
        print("| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |")
