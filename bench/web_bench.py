#!/usr/bin/env python3
"""relayhub's web panel: the time from a status change at the board to the button's colour
in a real page (headless Chromium), read from the page's own timestamps, and the hub's
resident memory with 32 event listeners. Figures are printed, never judged to pass or fail;
the last column only says whether this run met the target.

Started by bench/hub.sh web, which builds relayhub and boardsim without sanitizers.
"""

import datetime
import os
import shutil
import socket
import statistics
import subprocess
import tempfile

# bench_common puts the tests' helpers on the path: the imports after it.
from bench_common import memory_kb, parse_programs
from panel_driver import Boardsim, Paths, frame, wait_for
from relayhub_test import Hub
from rules_test import stamped
from web_test import Events, WebHub, chromium

CHANGES = 50
HAND_CHANGES = 20
LISTENERS = 32


def board_times(board):
    """{mask set by a 0x13 frame: wall-clock ms when boardsim received it}, from its log."""
    return {int.from_bytes(f[5:7], "big"): when * 1000 for when, f in stamped(board)
            if f[2] == 0x13}


def listener(hub):
    """An event stream past its first event, or None when the hub refused it."""
    events = Events(hub)
    try:
        events.next("a listener's snapshot", 2)
        return events
    except AssertionError:
        events.close()
        return None


def latency(directory, board, hub):
    """Board to arrival and board to painted colour, in ms, one pair per change."""
    driver = chromium(tempfile.mkdtemp(prefix="chromium-", dir=directory))
    try:
        driver.get(f"http://127.0.0.1:{hub.http_port}/")
        wait_for(lambda: driver.execute_script(
            "return document.querySelectorAll('button.channel.off').length === 16"),
            "the page's 16 red buttons", 30)
        client = socket.create_connection(("127.0.0.1", hub.port), timeout=10)
        entries = {}
        for mask in range(1, CHANGES + 1):
            # Set-all with a mask of its own, so each change is found by its mask; the page
            # is not touched between changes. The statuses the hub sends this client back
            # are left in its socket buffer (50 frames).
            client.sendall(frame(0x13, mask))
            entries[mask] = wait_for(lambda: driver.execute_script(
                "return window.kestrelTimes.find(e => e.mask === arguments[0] && e.painted)",
                f"0x{mask:04X}"), f"the page to paint mask {mask:#06x}", 30, 0.005)
        client.close()
    finally:
        driver.quit()
    at_board = board_times(board)
    return ([entries[m]["arrived"] - at_board[m] for m in entries],
            [entries[m]["painted"] - at_board[m] for m in entries])


def by_hand(directory):
    """Board to painted colour in ms for changes made at the board itself (boardsim --toggle,
    every 730 ms so that they fall on every phase of the hub's 600 ms poll), which the hub
    learns of at its next poll."""
    with open(os.path.join(directory, "by-hand.log"), "wb") as changes:
        board = subprocess.Popen([Paths.boardsim, "--port", "0", "--toggle", "1", "--toggle-ms",
                                  "730"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=changes)
    driver = hub = None
    try:
        hub = WebHub(directory, int(board.stdout.readline().split()[1]))
        hub.wait_connected(True)
        driver = chromium(tempfile.mkdtemp(prefix="chromium-", dir=directory))
        driver.get(f"http://127.0.0.1:{hub.http_port}/")
        start = wait_for(lambda: driver.execute_script(
            "return window.kestrelTimes.length && window.kestrelTimes[0].arrived"),
            "the page's first event", 30)
        today = datetime.date.today().isoformat()

        def changes_at_board():
            with open(os.path.join(directory, "by-hand.log"), encoding="ascii") as log:
                found = [(datetime.datetime.fromisoformat(f"{today}T{line.split()[0]}")
                          .timestamp() * 1000, line.split()[3] == "on")
                         for line in log if "(by hand)" in line]
            return [change for change in found if change[0] > start]

        at_board = wait_for(lambda: len(c := changes_at_board()) > HAND_CHANGES and c,
                            f"{HAND_CHANGES} changes at the board", 60)[:HAND_CHANGES]
        entries = driver.execute_script("return window.kestrelTimes")
    finally:
        if driver:
            driver.quit()
        if hub:
            hub.stop()
        board.terminate()
        board.wait(30)
    return [next(e["painted"] for e in entries if e["arrived"] >= when
                 and e["mask"] == ("0x0001" if on else "0x0000")) - when
            for when, on in at_board]


def main():
    parse_programs(__doc__)
    directory = tempfile.mkdtemp(prefix="kestrel-web-bench-")
    board = Boardsim(directory)
    hubs = []
    try:
        plain = Hub(directory, board.port)
        hubs.append(plain)
        plain.wait_log(r"board \S+ up", "the plain hub's board up")
        plain_rss = memory_kb(plain.process.pid)
        plain.stop()

        hub = WebHub(directory, board.port)
        hubs.append(hub)
        hub.wait_connected(True)
        arrived, painted = latency(directory, board, hub)
        idle_rss = memory_kb(hub.process.pid)
        # The browser's place among the listeners comes free when the hub finds its stream
        # closed, at a heartbeat (every 10 s): until then the last listener is refused.
        streams = [wait_for(lambda: listener(hub), "a place for a listener", 60, 1)
                   for _ in range(LISTENERS)]
        listeners_rss = memory_kb(hub.process.pid)
        refused = hub.stream_status()
        for events in streams:
            events.close()
        hub.stop()
        hand = by_hand(directory)
    finally:
        for hub in hubs:
            hub.stop()
        board.stop()
        shutil.rmtree(directory, ignore_errors=True)

    median = statistics.median(painted)
    rows = [
        ("board to painted colour, median", f"{median:.0f} ms", "< 100 ms",
         "yes" if median < 100 else "NO"),
        ("board to painted colour, max", f"{max(painted):.0f} ms", "-", "-"),
        ("board to event in the page, median", f"{statistics.median(arrived):.0f} ms", "-", "-"),
        ("change by hand at the board to painted colour, median",
         f"{statistics.median(hand):.0f} ms", "-", "-"),
        ("change by hand at the board to painted colour, max", f"{max(hand):.0f} ms", "-",
         "-"),
        ("resident memory, web panel idle", f"{idle_rss / 1024:.1f} MiB", "-", "-"),
        (f"resident memory, {LISTENERS} event listeners", f"{listeners_rss / 1024:.1f} MiB",
         "-", "-"),
        ("resident memory, hub without --http", f"{plain_rss / 1024:.1f} MiB", "-", "-"),
        (f"listener {LISTENERS + 1}", f"HTTP {refused}", "refused (503)",
         "yes" if refused == 503 else "NO"),
    ]
    print("| What | Result | Target | Met |\n|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
