#!/usr/bin/env python3
"""relayctl against the real boardsim on 127.0.0.1: exit status, output and the frames
in boardsim's log, byte for byte. With --wine, only the case that shows relayctl.exe's
socket layer runs, under wine (scripts/env.sh provides the wine server)."""

import argparse
import os
import select
import signal
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "panelprobe"))
from panel_driver import (Paths, PanelTestCase, frame, settings_file,  # noqa: E402
                          wait_for)

RELAYCTL = []  # the command that starts relayctl
Q = frame(0x10, 0)
ALL_ON, ALL_OFF = frame(0x13, 0xFFFFFFFF), frame(0x13, 0)
ON_356 = "on: 3 5 6  ..#.##.........."
NONE_ON = "on: none  ................"


def on(*channels):
    return [frame(0x12, n) for n in channels]


def off(*channels):
    return [frame(0x11, n) for n in channels]


# name: (boardsim options, steps, the whole frame log). A step is (relayctl arguments,
# exit status, its whole stdout, or for a failure a text its stderr holds).
CASES = {
    "every command": ([], [
        ("on 3 5-6", 0, ON_356),
        ("--json status", 0, '{"channels":[false,false,true,false,true,true' + ",false" * 10
         + '],"mask":"0x0034"}'),
        ("off 1,5 6", 0, "on: 3  ..#............."),
        ("toggle 3-4", 0, "on: 4  ...#............"),
        ("all-on", 0, "on: " + " ".join(map(str, range(1, 17))) + "  " + "#" * 16),
        ("all-off", 0, NONE_ON),
        ("pulse 2,7 --ms 50", 0, "on: 2 7  .#....#.........\n" + NONE_ON),
        ("pulse 16 --ms 0 --off-first", 0, NONE_ON + "\non: 16  ...............#"),
    ], on(3, 5, 6) + [Q] + off(1, 5, 6) + [Q] + off(3) + on(4) + [ALL_ON, ALL_OFF]
        + on(2, 7) + off(2, 7) + off(16) + on(16)),
    "a board that ignores commands": (["--ignore-commands"], [
        ("--no-verify on 1", 0, ""),
        ("--timeout 300 on 3 5-6", 3, "did not confirm channels 3 5 6 (its last status: "
         + NONE_ON + ")"),
    ], on(1, 3, 5, 6) + [Q] * 3),
    "every second answer corrupt": (["--corrupt-every", "2"], [
        ("--timeout 1000 status", 0, NONE_ON),
        ("--timeout 1000 on 3", 0, "on: 3  ..#............."),
    ], [Q] + on(3) + [Q]),
    "silent": (["--silent"], [
        ("--timeout 300 status", 3, "no status from 127.0.0.1:{port} within 4 tries of 300 ms"),
    ], [Q] * 4),
    "closed after the command": (["--ignore-commands", "--close-after", "1"], [
        ("on 3", 2, "connection to 127.0.0.1:{port} lost: closed by the board"),
    ], on(3)),
    # A pause of up to 9 ticks of 30 ms keeps a partial frame; 10 drop it.
    "answers in pieces": (["--split", "3", "--split-pause", "50"], [
        ("status", 0, NONE_ON)], [Q]),
    "answers in pieces with long pauses": (["--split", "4", "--split-pause", "700"], [
        ("--timeout 1000 status", 3, "no status")], [Q] * 4),
    "bad input sends nothing": ([], [(arguments, 1, "\nusage: relayctl") for arguments in (
        "on 17", "on 16-17", "on 0", "off 5-", "on 8-5", "on 1,,3", "on x", "--port 0 status",
        "--port 65536 status", "--timeout -1 status", "frobnicate", "--bogus status", "on",
        "status 3", "pulse 3", "status --ms 5", "status --interval 5", "--host")]
        + [("status", 0, NONE_ON)], [Q]),
}


def run(arguments, port=None, cwd=None):
    where = ["--host", "127.0.0.1", "--port", str(port), "--timeout", "5000"] if port else []
    return subprocess.run(RELAYCTL + where + arguments.split(), cwd=cwd, capture_output=True,
                          text=True, timeout=60, check=False)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class RelayctlTest(PanelTestCase):

    def check(self, result, status, text, port):
        text = text.replace("{port}", str(port))
        self.assertEqual(result.returncode, status, result.stderr)
        if status == 0:
            self.assertEqual(result.stdout, text + "\n" if text else "")
        else:
            self.assertEqual(result.stdout, "")
            self.assertIn(text, result.stderr)

    def test_cases(self):
        for name, (options, steps, log) in CASES.items():
            with self.subTest(name):
                board = self.start_board(*options)
                for arguments, status, text in steps:
                    with self.subTest(arguments):
                        self.check(run(arguments, board.port), status, text, board.port)
                board.wait_frames(len(log), "the frame log")
                self.assertEqual(board.frames(), log)

    def test_unreachable_boards(self):
        closed = free_port()
        self.check(run("status", closed), 2, "cannot connect to 127.0.0.1:{port}: "
                   "Connection refused", closed)
        # A listener that never accepts, its backlog full: connect hangs until relayctl
        # gives up.
        with socket.socket() as listener:
            listener.bind(("127.0.0.1", 0))
            listener.listen(0)
            port = listener.getsockname()[1]
            fillers = [socket.socket() for _ in range(2)]
            for filler in fillers:
                filler.setblocking(False)
                filler.connect_ex(("127.0.0.1", port))
            self.check(run("--timeout 500 status", port), 2,
                       "cannot connect to 127.0.0.1:{port}: no answer within 500 ms", port)
            for filler in fillers:
                filler.close()

    def test_settings_file_read_as_the_panel_does(self):
        board = self.start_board("--channels", "0x0034")
        decoy = f"[canshu]\r\nsocket_ip=127.0.0.1\r\nsocket_port={free_port()}\r\n".encode()
        path = os.path.join(self.directory, "canshu.ini")
        # Its leading digits are the port; one that is no port is refused, neither cut to
        # 16 bits (the third reaches the board that way) nor read as 0.
        for port, status in ((board.port, 0), (f"{board.port}abc", 0), (board.port + 65536, 1),
                             ("abc", 1), (0, 1), (99999999999, 1)):
            settings = decoy + settings_file(port, captions={1: "水泵", 2: "照明"})
            with open(path, "wb") as file:
                file.write(settings)
            with self.subTest(port):
                text = f"canshu.ini: socket_port={port} is not a port" if status else ON_356
                self.check(run("status", cwd=self.directory), status, text, board.port)
                with open(path, "rb") as file:
                    self.assertEqual(file.read(), settings, "relayctl wrote the settings file")
        board.wait_frames(2, "the frame log")
        self.assertEqual(board.frames(), [Q, Q], "a refused port was dialled")

    def test_watch_sees_a_channel_change(self):
        board = self.start_board("--toggle", "5", "--toggle-ms", "300")
        watch = subprocess.Popen(RELAYCTL + ["--host", "127.0.0.1", "--port", str(board.port),
                                             "watch", "--interval", "50"],
                                 stdout=subprocess.PIPE)
        self.addCleanup(watch.kill)
        output = []

        def two_lines():
            if select.select([watch.stdout], [], [], 0.1)[0]:
                output.append(os.read(watch.stdout.fileno(), 4096))
            return b"".join(output).count(b"\n") >= 2

        wait_for(two_lines, "two lines from watch", timeout=20)
        lines = b"".join(output).decode().splitlines()
        maps = [line.split()[-1] for line in lines[:2]]
        self.assertEqual([i for i in range(16) if maps[0][i] != maps[1][i]], [4], lines)
        watch.send_signal(signal.SIGINT)
        self.assertEqual(watch.wait(20), 0)


class WineTest(PanelTestCase):

    def test_status_line_as_the_native_build_prints_it(self):
        board = self.start_board("--channels", "0x0034")
        result = run("status", board.port)
        self.assertEqual((result.returncode, result.stdout.replace("\r", "")),
                         (0, ON_356 + "\n"), result.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--relayctl", required=True)
    parser.add_argument("--boardsim", required=True)
    parser.add_argument("--wine", action="store_true", help="run relayctl.exe under wine")
    parser.add_argument("-k", default="", help="only the tests whose names hold this")
    args = parser.parse_args()
    Paths.boardsim = os.environ.get("BOARDSIM", args.boardsim)
    relayctl = os.path.abspath(args.relayctl)
    RELAYCTL.extend(["wine", relayctl] if args.wine else [relayctl])
    loader = unittest.TestLoader()
    loader.testNamePatterns = [f"*{args.k}*"]
    suite = loader.loadTestsFromTestCase(WineTest if args.wine else RelayctlTest)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)


if __name__ == "__main__":
    main()
