#!/usr/bin/env python3
"""relayhub between the real boardsim and real clients (relayctl, raw sockets) on
127.0.0.1: what reaches the board (its frame log), what reaches each client, and the
hub's log. With --wine, only the whole-program case runs: kestrel.exe under wine
through the hub (scripts/env.sh provides the wine server and the display)."""

import argparse
import datetime
import os
import random
import re
import select
import signal
import socket
import subprocess
import sys
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "panelprobe"))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from panel_driver import (BUTTON, PanelTestCase, Paths, click,  # noqa: E402
                          frame, settings_file, wait_for)

PROGRAMS = {}  # relayhub, relayctl
QUERY = frame(0x10, 0)


def on(n):
    return frame(0x12, n)


def off(n):
    return frame(0x11, n)


def stamp(line):
    """The local time stamp that starts a log line (2026-12-07T12:00:00.123), in seconds."""
    return datetime.datetime.strptime(line.split()[0], "%Y-%m-%dT%H:%M:%S.%f").timestamp()


def switches(board):
    """The frames boardsim received, in order, the hub's queries left out."""
    return [f for f in board.frames() if f != QUERY]


def channels_of(status):
    """The set of channels a status frame shows on."""
    mask = status[5] << 8 | status[6]
    return {n for n in range(1, 17) if mask >> (n - 1) & 1}


class Hub:
    """relayhub for the board on 127.0.0.1:board_port, listening on a free loopback port;
    run in directory (where it reads canshu.ini for captions), its log (stderr) there."""

    def __init__(self, directory, board_port, *options):
        self.log_path = os.path.join(directory, f"relayhub-{time.monotonic_ns()}.log")
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [PROGRAMS["relayhub"], "--board", f"127.0.0.1:{board_port}", "--listen",
                 "127.0.0.1:0", *map(str, options)],
                cwd=directory, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
        self.port = int(self.wait_log(r"clients on 127\.0\.0\.1:(\d+)", "the hub to listen")[-1])

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def wait_log(self, pattern, what, count=1):
        """The groups (or texts) of the first count matches of pattern, once there are so many."""
        def found():
            if self.process.poll() is not None:
                raise AssertionError(f"the hub exited ({self.process.returncode}) while waiting "
                                     f"for {what}:\n{self.log()}")
            matches = re.findall(pattern, self.log())
            return len(matches) >= count and matches
        return wait_for(found, what, timeout=60)

    def stop(self, how=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(how)
        try:
            return self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(30)
            raise AssertionError("the hub did not stop within 30 s of the signal")


class Client:
    """A raw socket that speaks the board's protocol to the hub."""

    def __init__(self, port, receive_buffer=None):
        self.socket = socket.socket()
        if receive_buffer:
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        self.socket.settimeout(20)
        self.socket.connect(("127.0.0.1", port))
        self.port = self.socket.getsockname()[1]
        self.received = b""

    def send(self, *frames):
        self.socket.sendall(b"".join(frames))

    def read_available(self, wait=0.0):
        """Appends what has come within wait seconds; False when the hub closed."""
        while select.select([self.socket], [], [], wait)[0]:
            try:
                chunk = self.socket.recv(65536)
            except ConnectionResetError:
                chunk = b""
            if not chunk:
                return False
            self.received += chunk
            wait = 0
        return True

    def wait_channels(self, channels, what):
        """Until a status read from now on shows channels on."""
        start = len(self.received) // 8 * 8

        def seen():
            self.read_available(0.1)
            return any(channels_of(self.received[i:i + 8]) == set(channels)
                       for i in range(start, len(self.received) - 7, 8))
        wait_for(seen, what, timeout=30)

    def wait_closed(self, what):
        wait_for(lambda: not self.read_available(0.1), what)

    def close(self):
        self.socket.close()


class Reader(threading.Thread):
    """A client that reads all the time, counting frames, until the hub closes it."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.client = Client(port)
        self.bytes = 0
        self.open = True
        self.start()

    def run(self):
        self.client.socket.settimeout(None)
        while chunk := self.client.socket.recv(1 << 20):
            self.bytes += len(chunk)
        self.open = False


def wait_output(process, text, what):
    """Reads the process's output until it holds text."""
    output = []

    def seen():
        if select.select([process.stdout], [], [], 0.1)[0]:
            output.append(os.read(process.stdout.fileno(), 4096))
        return text in b"".join(output).decode()
    wait_for(seen, what)


def bound(listener, port):
    try:
        listener.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False


def run_hub(*arguments, **options):
    """relayhub run to its exit (a refused start), its output as text."""
    return subprocess.run([PROGRAMS["relayhub"], *map(str, arguments)], capture_output=True,
                          text=True, timeout=60, check=False, **options)


def listener():
    """A socket that the hub could dial but should not: the kernel completes a connect
    to it without an accept, so after the hub has exited, whatever it dialled waits."""
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    sock.listen(8)
    sock.setblocking(False)
    return sock


def port(sock):
    return sock.getsockname()[1]


def dialled(sock):
    """How many connections to a listener() are waiting, each taken and closed."""
    count = 0
    while True:
        try:
            sock.accept()[0].close()
            count += 1
        except BlockingIOError:
            return count


def relayctl(hub, arguments):
    return subprocess.run([PROGRAMS["relayctl"], "--host", "127.0.0.1", "--port", str(hub.port),
                           "--timeout", "3000", *arguments.split()],
                          capture_output=True, text=True, timeout=60, check=False)


class HubTestCase(PanelTestCase):
    """A board and a hub in front of it, each stopped at the end; a hub must exit 0 on
    SIGTERM. (The MQTT cases add their broker to this fixture.)"""

    def start_board(self, *options):
        return super().start_board(*map(str, options))

    def start_hub(self, board_port, *options):
        hub = Hub(self.directory, board_port, *options)
        self.addCleanup(lambda: self.assertEqual(hub.stop(), 0, hub.log()))
        return hub

    def start(self, board_options=(), hub_options=(), restartable=False):
        """A board and its hub; a restartable board's port is outside the kernel's
        ephemeral range, so that no outgoing connection takes it while the board is down."""
        if restartable:
            board = wait_for(lambda: self.try_board("--port", random.randrange(20000, 32000),
                                                    *board_options), "a free port")
        else:
            board = self.start_board(*board_options)
        hub = self.start_hub(board.port, *hub_options)
        hub.wait_log(r"board \S+ up", "the board up")
        return board, hub

    def try_board(self, *options):
        try:
            return self.start_board(*options)
        except AssertionError:
            return None

    def restart_board(self, port, *options):
        """A board again on port, once the old one's end of its connection lets go of it."""
        return wait_for(lambda: self.try_board("--port", port, *options), "the board's port")

    def board_back(self, board, hub, *options):
        """The board killed, the hub's log saying so, then a board again on its port."""
        board.process.kill()
        hub.wait_log(r"board \S+ down", "the board down")
        return self.restart_board(board.port, *options)

    def client(self, hub, **options):
        client = Client(hub.port, **options)
        self.addCleanup(client.close)
        return client

    def relayctl(self, hub, arguments):
        """relayctl's output, once it has exited 0."""
        result = relayctl(hub, arguments)
        self.assertEqual(result.returncode, 0, f"relayctl {arguments}: {result.stderr}")
        return result.stdout

    def config(self, text):
        """relayhub.toml in the case's directory, for --config (written again before a
        SIGHUP)."""
        path = os.path.join(self.directory, "relayhub.toml")
        with open(path, "w", encoding="utf-8") as file:
            file.write(text)
        return path


class RelayhubTest(HubTestCase):

    def test_two_clients_switch_and_see_each_other(self):
        board, hub = self.start()
        raw = self.client(hub)
        watch = subprocess.Popen([PROGRAMS["relayctl"], "--host", "127.0.0.1", "--port",
                                  str(hub.port), "watch", "--interval", "100"],
                                 stdout=subprocess.PIPE)
        self.addCleanup(lambda: (watch.kill(), watch.wait(30), watch.stdout.close()))
        hub.wait_log(r"connected \(2 of 16\)", "relayctl watch to connect")
        # Several switches in one write, a partial frame between two writes: each reaches
        # the board once, in order.
        raw.send(on(2), on(5), off(2), on(7)[:3])
        raw.send(on(7)[3:])
        raw.wait_channels({5, 7}, "the raw client's own switches")
        wait_output(watch, "on: 5 7  ", "the raw client's switches at relayctl watch")
        self.assertEqual(self.relayctl(hub, "on 3"), "on: 3 5 7  ..#.#.#.........\n")
        raw.wait_channels({3, 5, 7}, "relayctl's switch at the raw client")
        # Twenty queries at once cost the board no more than its one per poll period:
        # counted between two switches (of channels already off) around them in one write.
        raw.send(off(16), *[QUERY] * 20, off(15))
        raw.wait_channels({3, 5, 7}, "a status after the queries")
        self.assertEqual(self.relayctl(hub, "status"), "on: 3 5 7  ..#.#.#.........\n")
        wait_for(lambda: off(15) in board.frames(), "the second switch at the board")
        frames = board.frames()
        self.assertEqual(switches(board),
                         [on(2), on(5), off(2), on(7), on(3), off(16), off(15)])
        # The burst adds one query at most, the polls one per 600 ms while off(16) waits
        # for its answer (300 ms at most): a hub that passed the queries on adds twenty.
        between = frames[frames.index(off(16)) + 1:frames.index(off(15))]
        self.assertLessEqual(len(between), 4, "queries at the board for the burst")

    def test_switches_wait_for_the_answer_to_the_last(self):
        # The board answers no switch: the next goes when it has answered a query sent
        # after the last, or after the hub's 300 ms wait. Either way a query (one per 50 ms)
        # reaches the board between two switches; a hub that did not wait sends them
        # back to back.
        board, hub = self.start(board_options=("--ignore-commands",),
                                hub_options=("--poll-ms", 50))
        self.client(hub).send(on(1), on(2), on(3))
        wait_for(lambda: len(switches(board)) == 3, "the switches at the board")
        frames = board.frames()
        sent = [i for i, f in enumerate(frames) if f != QUERY]
        for last, next_ in zip(sent, sent[1:]):
            self.assertGreater(next_ - last, 1, f"switches back to back at {frames}")

    def test_a_board_that_goes_silent(self):
        # The board stops (SIGSTOP) with its connection open: nothing answers and no FIN
        # comes, as when it loses power or its cable is pulled.
        board, hub = self.start()
        board.process.send_signal(signal.SIGSTOP)
        self.addCleanup(board.process.send_signal, signal.SIGCONT)
        down = hub.wait_log(r"(\S+) board \S+ down: no good status frame for 5 s",
                            "the silent board to be declared gone")[0]
        # The last query the board logged was answered before the hub's last good status.
        with open(board.log, encoding="ascii") as log:
            answered = [line for line in log if line.endswith("\n")][-1]
        self.assertGreaterEqual(stamp(down) - stamp(answered), 4.99,
                                f"gone at {down}, the board's last answer after {answered}")
        refused = relayctl(hub, "status")
        self.assertEqual(refused.returncode, 2, refused.stderr)
        # It goes on: the hub, still trying, finds it again.
        board.process.send_signal(signal.SIGCONT)
        hub.wait_log(r"board \S+ up", "the board up again", count=2)
        self.assertEqual(self.relayctl(hub, "on 3"), "on: 3  ..#.............\n")

    def test_queries_to_a_board_that_answers_late(self):
        # The board stalls (SIGSTOP) and answers what it was sent only when it goes on
        # (SIGCONT), well within 5 s. Meanwhile no status is younger than the poll period
        # (600 ms), yet twenty queries from a client cost the board one query at most:
        # counted between two switches around them, the second held 300 ms by the first
        # that got no answer, so one poll at most as well.
        board, hub = self.start()
        raw = self.client(hub)
        raw.send(QUERY)
        raw.wait_channels(set(), "a status")
        board.process.send_signal(signal.SIGSTOP)
        self.addCleanup(board.process.send_signal, signal.SIGCONT)
        time.sleep(1)  # the last status is older than the poll period from here
        raw.send(off(16), *[QUERY] * 20, off(15))
        time.sleep(0.5)  # for the hub to take the burst while the board is stalled
        board.process.send_signal(signal.SIGCONT)
        frames = wait_for(lambda: off(15) in (f := board.frames()) and f,
                          "the second switch at the board")
        between = frames[frames.index(off(16)) + 1:frames.index(off(15))]
        self.assertLessEqual(len(between), 2, "queries at the board for the burst")
        self.assertNotIn(" down:", hub.log())

    def test_a_board_that_does_not_answer_the_connect(self):
        with socket.socket() as listener:  # its backlog full: a connect hears nothing
            listener.bind(("127.0.0.1", 0))
            listener.listen(0)
            fillers = [socket.socket() for _ in range(2)]
            for filler in fillers:
                self.addCleanup(filler.close)
                filler.setblocking(False)
                filler.connect_ex(listener.getsockname())
            hub = self.start_hub(listener.getsockname()[1], "--connect-timeout-ms", 8000)
            # The hub's thread is not held by the connect: a client is closed at once, where
            # a blocked hub would leave relayctl to give up on its own (exit 3) after its
            # query and three more, 6 s: seconds for the refusal on a slow machine, and
            # well within the 8 s a blocked hub would be held.
            result = relayctl(hub, "--timeout 1500 status")
            self.assertEqual(result.returncode, 2, result.stderr)
            hub.wait_log(r"unavailable: no answer within 8000 ms", "the connect's time-out")

    def test_board_restart(self):
        board, hub = self.start(restartable=True)
        raw = self.client(hub)
        raw.send(on(4))
        raw.wait_channels({4}, "channel 4 on")
        board.process.kill()
        hub.wait_log(r"board \S+ down", "the board down")
        # Attempts counted at a listener of our own on the board's port, each closed after
        # what the hub sends on it (queries only: nothing from the clients is replayed).
        attempts, heard = [], b""
        with socket.socket() as listener:
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            # The board's end of the old connection may hold the port for a moment.
            wait_for(lambda: bound(listener, board.port), "the board's port to be free")
            listener.listen(8)
            listener.settimeout(60)
            # While the board is down: new clients are closed at once, and what a connected
            # one sends is dropped, never answered, never replayed.
            refused = relayctl(hub, "status")
            self.assertEqual(refused.returncode, 2, refused.stderr)
            raw.read_available(0.2)
            before = raw.received
            raw.send(on(7), QUERY)
            hub.wait_log(r"dropped 0x12 from client \S+: board down", "the dropped switch")
            while len(attempts) < 3:
                try:
                    attempt = listener.accept()[0]
                except TimeoutError:
                    self.fail(f"no attempt at the board's port within 60 s after {attempts}")
                attempts.append(time.monotonic())
                with attempt:
                    attempt.settimeout(0.3)
                    try:
                        while chunk := attempt.recv(64):
                            heard += chunk
                    except TimeoutError:
                        pass
        gaps = [b - a for a, b in zip(attempts, attempts[1:])]
        # Lower bounds only, which load cannot break: the hub times its next attempt from
        # our close, which follows the accept we time stamped, so each gap is longer than
        # its backoff however slow the machine. The backoff doubles from 0.5 s, and the
        # first attempt here comes at the earliest after it: at least 1 s, then 2 s.
        self.assertGreaterEqual(gaps[0], 0.95, f"the gaps between attempts {gaps}")
        self.assertGreaterEqual(gaps[1], 1.9, f"the gaps between attempts {gaps}")
        self.assertEqual(heard, QUERY * (len(heard) // 8), "what the attempts sent")
        self.assertTrue(raw.read_available(0.2), "the raw client was closed while the board was down")
        self.assertEqual(raw.received, before, "what the raw client got while the board was down")
        self.assertEqual(len(re.findall(r"board \S+ (down|unavailable)", hub.log())), 1, hub.log())

        again = self.restart_board(board.port, "--channels", "0x0100")
        hub.wait_log(r"board \S+ up", "the board up again", count=2)
        raw.wait_channels({9}, "the restarted board's status at the raw client")
        self.assertEqual(self.relayctl(hub, "on 1"), "on: 1 9  #.......#.......\n")
        self.assertEqual(switches(again), [on(1)])

        # The board is back, so the backoff starts again: its next outage is retried after
        # 0.5 s, not after the seconds the last one had reached.
        again.stop()
        delays = hub.wait_log(r"board \S+ down: .*; retrying in ([\d.]+) s", "the second outage",
                              count=2)
        self.assertEqual(delays, ["0.5", "0.5"], hub.log())

    def test_hostile_clients(self):
        board, hub = self.start(hub_options=("--max-clients", 3))
        hostile = {
            "bad checksums": on(3)[:7] + b"\x00" + frame(0x13, 0xFFFF)[:7] + b"\x01",
            "not for this board": bytes([0x54, 0x01, 0x12, 0, 0, 0, 3, 0x6A]) + bytes(
                [0x55, 0x02, 0x12, 0, 0, 0, 3, 0x6C]),
            "unknown commands": frame(0x14, 3) + frame(0x00, 0) + frame(0xFF, 1),
            "noise": random.Random(17).randbytes(4096),
        }
        for count, (name, garbage) in enumerate(hostile.items(), 1):
            with self.subTest(name):
                client = self.client(hub)
                client.send(garbage, on(1), off(1))
                wait_for(lambda: len(switches(board)) >= 2 * count,
                         "the switches behind the garbage")
                client.close()
                self.assertEqual(switches(board)[-2:], [on(1), off(1)])
        self.assertEqual(len(switches(board)), 2 * len(hostile))
        hub.wait_log(r"gone: closed", "the garbage senders to go", count=len(hostile))

        # One more than --max-clients is accepted and closed; a freed place is taken again.
        first, second, third = (self.client(hub) for _ in range(3))
        hub.wait_log(r"connected \(3 of 3\)", "three clients")
        self.client(hub).wait_closed("the fourth client to be closed")
        hub.wait_log(r"refused: 3 clients already", "the refusal in the log")
        third.close()
        hub.wait_log(r"gone: closed \(2 of 3\)", "the third client to go")
        fifth = self.client(hub)
        fifth.send(on(6))
        fifth.wait_channels({6}, "the answer at a client in the freed place")

    def test_a_client_that_does_not_read(self):
        board, hub = self.start(restartable=True)
        sleeper = self.client(hub, receive_buffer=4096)
        reader = Reader(hub.port)
        self.addCleanup(reader.client.close)
        hub.wait_log(r"connected \(2 of 16\)", "both clients")
        # The flood comes from a board that starts again under the connected clients.
        flood = 30000
        self.board_back(board, hub, "--flood", flood)
        hub.wait_log(rf"client 127\.0\.0\.1:{sleeper.port} gone: it does not read",
                     "the client that does not read to be dropped")
        wait_for(lambda: reader.bytes >= 8 * flood or not reader.open, "the whole flood")
        self.assertTrue(reader.open, "the reading client was dropped")
        self.assertEqual(self.relayctl(hub, "on 4"), "on: 4  ...#............\n")


class WineTest(HubTestCase):
    """kestrel.exe under wine, connected through the hub, beside relayctl."""

    def test_panel_through_the_hub(self):
        from e2e_test import colour_problems, colours
        board, hub = self.start()
        panel = self.start_panel(settings_file(hub.port))
        self.assertEqual(panel.connect(), "建立连接成功")
        controls = panel.controls()

        def wait_colours(on):
            try:
                wait_for(lambda: not colour_problems(controls, colours(on)), "colours", interval=0.3)
            except AssertionError:
                self.fail(f"button colours: {colour_problems(controls, colours(on))}")

        wait_colours(set())
        self.assertEqual(self.relayctl(hub, "on 5"), "on: 5  ....#...........\n")
        wait_colours({5})
        click(controls[BUTTON[2]])
        wait_for(lambda: self.relayctl(hub, "status") == "on: 2 5  .#..#...........\n",
                 "the panel's click in relayctl status")
        wait_colours({2, 5})
        self.assertEqual(switches(board), [on(5), on(2)])


def parse_programs(parser):
    """The three drivers' command line: the programs under test and -k; sets them up."""
    for program in ("relayhub", "relayctl", "boardsim"):
        parser.add_argument(f"--{program}", required=True)
    parser.add_argument("-k", default="", help="only the tests whose names hold this")
    args = parser.parse_args()
    PROGRAMS.update(relayhub=os.path.abspath(args.relayhub),
                    relayctl=os.path.abspath(args.relayctl))
    Paths.boardsim = os.path.abspath(args.boardsim)
    return args


def run_cases(case, args, *more_cases):
    loader = unittest.TestLoader()
    loader.testNamePatterns = [f"*{args.k}*"]
    suite = unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in (case, *more_cases))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine", nargs=2, metavar=("KESTREL", "PROBE"),
                        help="run the panel case with these kestrel.exe and panelprobe.exe")
    args = parse_programs(parser)
    if args.wine:
        Paths.kestrel, Paths.probe = map(os.path.abspath, args.wine)
    run_cases(WineTest if args.wine else RelayhubTest, args)


if __name__ == "__main__":
    main()
