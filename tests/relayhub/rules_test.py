#!/usr/bin/env python3
"""relayhub's channel rules (relayhub.toml) between the real boardsim and real clients on
127.0.0.1: the frames and their times at boardsim's log, what clients see, the hub's log.
Gaps are checked as lower bounds only: load can only lengthen them."""

import argparse
import datetime
import os
import re
import signal
import subprocess
import time

from relayhub_test import (QUERY, HubTestCase, channels_of, frame,  # sets the path
                           off, on, parse_programs, run_cases, run_hub, stamp, wait_for)
from panel_driver import Boardsim, Paths  # noqa: E402


def set_all(mask):
    return frame(0x13, mask)


def stamped(board):
    """(seconds, frame) of each switch boardsim received, the hub's queries left out."""
    result = []
    with open(board.log, encoding="ascii") as log:
        for line in log:
            if line.endswith("\n"):
                fields = line.split()
                received = bytes.fromhex("".join(fields[1:9]))
                if received != QUERY:
                    result.append((stamp(line), received))
    return result


def wait_commands(board, count, what):
    return wait_for(lambda: len(got := stamped(board)) >= count and got, what, timeout=60)


def gap(commands, first, second):
    """Seconds from the first of frame first to the next frame second after it."""
    frames = [f for _, f in commands]
    a = frames.index(first)
    b = frames.index(second, a + 1)
    return commands[b][0] - commands[a][0]


class DisplayedBoard(Boardsim):
    """boardsim with its display (the channels' changes, timed to the ms) kept in a file."""

    def __init__(self, directory, *options):
        self.log = os.path.join(directory, f"boardsim-{time.monotonic_ns()}.log")
        self.display_path = self.log + ".display"
        with open(self.display_path, "wb") as display:
            self.process = subprocess.Popen([Paths.boardsim, "--port", "0", "--log", self.log,
                                             *options], stdin=subprocess.DEVNULL,
                                            stdout=subprocess.PIPE, stderr=display)
        self.port = int(self.process.stdout.readline().split()[1])

    def display(self):
        with open(self.display_path, encoding="utf-8") as display:
            return display.read()


class RulesTest(HubTestCase):

    def start_rules(self, text, board_options=(), hub_options=(), restartable=False):
        path = self.config(text)
        return self.start(board_options, ("--config", path, *hub_options), restartable)

    # Momentary.

    def test_momentary(self):
        rules = "[channel.5]\npulse_ms = 400\n[channel.6]\npulse_ms = 5000\n"
        # Steps: a frame to send, or the channels to wait for.
        for name, board_options, steps, expected in [
            # The asking client leaves at once: the hub's timer switches it off all the same.
            ("a client that leaves", (), [on(5)], [on(5), off(5)]),
            # An OFF ends the pulse: the hub's own OFF never follows.
            ("an off mid-pulse", (), [on(6), {6}, off(6)], [on(6), off(6)]),
            # On by hand at the board (4 s after it starts): released as well.
            ("on at the board", ("--toggle", 5, "--toggle-ms", 4000), [], [off(5)]),
        ]:
            with self.subTest(name):
                board, hub = self.start_rules(rules, board_options)
                client = self.client(hub)
                for step in steps:
                    if isinstance(step, set):
                        client.wait_channels(step, f"channels {step} on")
                    else:
                        client.send(step)
                client.close()
                commands = wait_commands(board, len(expected), "the pulse's frames")
                if name == "an off mid-pulse":
                    time.sleep(5.5)  # past the pulse's end: its OFF would be in by now
                    commands = stamped(board)
                else:
                    hub.wait_log(r"channel 5 off: pulse of 400 ms", "the pulse's log line")
                if steps == [on(5)]:
                    self.assertGreaterEqual(gap(commands, on(5), off(5)), 0.4, commands)
                self.assertEqual([f for _, f in commands], expected)

    def test_pulse_cut_by_the_board_going_away(self):
        board, hub = self.start_rules("[channel.5]\npulse_ms = 20000\n", restartable=True)
        client = self.client(hub)
        client.send(on(5))
        client.wait_channels({5}, "channel 5 on")
        again = self.board_back(board, hub, "--channels", "0x0011")
        commands = wait_commands(again, 1, "the first switch at the returned board")
        self.assertEqual(commands[0][1], off(5), commands)
        hub.wait_log(r"channel 5 off: its pulse of 20000 ms was running when the board went away",
                     "the log line")
        client.wait_channels({1}, "channel 5 off at the returned board")

    # Interlock.

    def test_interlock_changeover(self):
        board, hub = self.start_rules("[[interlock]]\nchannels = [1, 2]\ndead_ms = 500\n")
        client = self.client(hub)
        client.send(on(1))
        client.wait_channels({1}, "channel 1 on")
        client.send(on(2))
        client.wait_channels({2}, "channel 2 on")
        commands = wait_commands(board, 3, "the changeover at the board")
        self.assertEqual([f for _, f in commands], [on(1), off(1), on(2)])
        self.assertGreaterEqual(gap(commands, off(1), on(2)), 0.5, commands)
        statuses = [channels_of(client.received[i:i + 8])
                    for i in range(0, len(client.received) - 7, 8)]
        self.assertNotIn({1, 2}, statuses)
        # 1 off shown between the two: the board's answer to the OFF.
        self.assertIn(set(), statuses[statuses.index({1}):statuses.index({2})])
        # A client's own OFF and ON in one write: the ON still waits out dead_ms.
        client.send(off(2), on(1))
        commands = wait_commands(board, 5, "the client's own changeover")
        self.assertEqual([f for _, f in commands[3:]], [off(2), on(1)])
        self.assertGreaterEqual(gap(commands, off(2), on(1)), 0.5, commands)

    def test_interlock_at_the_board(self):
        group = "[[interlock]]\nchannels = [1, 2]\ndead_ms = 100\n"
        for name, board_options, send, expected, log in [
            # The OFF is never confirmed: the ON is dropped after 2 s.
            ("a board that ignores commands", ("--channels", "0x0001", "--ignore-commands"),
             [on(2)], [off(1)], r"dropped channel 2 on from client \S+: the board did not "
                                r"show channel 1 off within 2 s"),
            # Set-all ON leaves the group as it is (2 on, 1 off).
            ("set-all on", ("--channels", "0x0002"), [set_all(0xFFFF)], [set_all(0xFFFE)],
             r"set-all from client \S+: channel 1 left off \(interlock\)"),
            # Both on from outside: the whole group off, the rest as it was.
            ("both on at the board", ("--channels", "0x0013"), [], [set_all(0x0010)],
             r"set-all to 5 on: the board came up; channels 1, 2 were on together \(interlock\)"),
        ]:
            with self.subTest(name):
                board, hub = self.start_rules(group, board_options)
                self.client(hub).send(*send)
                hub.wait_log(log, "the hub's log line")
                wait_commands(board, len(expected), "the switches")
                self.assertEqual([f for _, f in stamped(board)], expected)

    # Auto-off.

    def test_auto_off(self):
        # Channel 4 flips on by itself 2 s after boardsim starts, as if switched by hand.
        board = DisplayedBoard(self.directory, "--toggle", "4", "--toggle-ms", "2000")
        self.addCleanup(board.stop)
        hub = self.start_hub(board.port, "--config",
                             self.config("[channel.1]\nmax_on_s = 1\n[channel.4]\nmax_on_s = 1\n"))
        self.client(hub).send(on(1))
        commands = wait_commands(board, 3, "both channels switched off")
        self.assertEqual(sorted(f for _, f in commands), sorted([on(1), off(1), off(4)]))
        self.assertGreaterEqual(gap(commands, on(1), off(1)), 1.0, commands)
        flipped = wait_for(lambda: re.search(r"(\S+) channel 4 on \(by hand\)", board.display()),
                           "boardsim's display of the flip", timeout=60)
        off_at = next(t for t, f in commands if f == off(4))
        # The display has the time of day only: a flip half a day after the OFF's time of
        # day was on the day before it (the run crossed midnight).
        day = datetime.date.fromtimestamp(off_at).isoformat()
        flipped_at = datetime.datetime.fromisoformat(f"{day}T{flipped[1]}").timestamp()
        if flipped_at - off_at > 43200:
            flipped_at -= 86400
        self.assertGreaterEqual(off_at - flipped_at, 1.0, commands)
        hub.wait_log(r"channel 4 off: on for 1 s \(max_on_s\)", "the log line", count=1)

    # After the board comes up.

    def test_power_on(self):
        rules = "[channel.3]\npower_on = \"last\"\n[channel.7]\npower_on = \"off\"\n"
        state = os.path.join(self.directory, "state")
        os.mkdir(state)
        board, hub = self.start_rules(rules, hub_options=("--state-dir", state),
                                      restartable=True)
        client = self.client(hub)
        client.send(on(3))
        client.wait_channels({3}, "channel 3 on")
        # The board comes back all off (a power cut): 3 on again, in one set-all.
        board = self.board_back(board, hub, "--channels", "0x0000")
        self.assertEqual(wait_commands(board, 1, "the set-all")[0][1], set_all(0x0004))
        hub.wait_log(r"set-all to 3 on: the board came up; channel 3 on \(power_on = last\)",
                     "the power_on log line")
        # Across a hub restart, through the state dir; 7 on at the board goes off.
        client.wait_channels({3}, "channel 3 on again")
        self.assertEqual(hub.stop(), 0, hub.log())
        board.process.kill()
        board.process.wait(30)
        board = self.restart_board(board.port, "--channels", "0x0040")
        self.start_hub(board.port, "--config", os.path.join(self.directory, "relayhub.toml"),
                       "--state-dir", state)
        self.assertEqual(wait_commands(board, 1, "the set-all")[0][1], set_all(0x0004))

    def test_a_torn_or_foreign_state_file(self):
        # The board's channels are the opposite of what the file would mean if applied.
        for name, text, board_channels in [
            # Cut inside the check line of a file that says channel 3 was on.
            ("torn", "relayhub channel states 1\nchannels 0x0004\ncheck 0x3", "0x0000"),
            ("foreign", "{\"channels\": 4}\n", "0x0004"),
        ]:
            with self.subTest(name):
                state = os.path.join(self.directory, name)
                os.mkdir(state)
                with open(os.path.join(state, "channels.state"), "w", encoding="ascii") as file:
                    file.write(text)
                board, hub = self.start_rules("[channel.3]\npower_on = \"last\"\n",
                                              ("--channels", board_channels),
                                              ("--state-dir", state))
                hub.wait_log(r"state file \S+: torn or not a relayhub state file; ignored",
                             "the log line")
                # Nothing applied: the client's switch is the first at the board.
                self.client(hub).send(on(9))
                self.assertEqual([f for _, f in wait_commands(board, 1, "the client's switch")],
                                 [on(9)])

    # Bad files and reload.

    def test_a_bad_file_at_start(self):
        board = self.start_board()
        path = self.config("[channel.5]\npulse_ms = 500\n\n[channel.17]\npulse_ms = 500\n")
        result = run_hub("--board", f"127.0.0.1:{board.port}", "--listen", "127.0.0.1:0",
                         "--config", path)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(f"{path}:4: channel.17: a channel is 1 to 16", result.stderr)
        self.assertNotIn("listening", result.stderr)
        checked = run_hub("--check-config", path)
        self.assertEqual((checked.returncode, checked.stdout), (1, ""), checked.stderr)
        self.assertIn(f"{path}:4: channel.17", checked.stderr)
        self.assertEqual(board.frames(), [])

    def test_reload(self):
        board, hub = self.start_rules("[channel.5]\npulse_ms = 300\n")
        self.config("[channel.6]\npulse_ms = 300\n")
        hub.process.send_signal(signal.SIGHUP)
        hub.wait_log(r"channel 6: momentary", "the reloaded rules")
        self.config("[channel.6]\npulse_ms = 30\n")
        hub.process.send_signal(signal.SIGHUP)
        hub.wait_log(r"SIGHUP: \S+:2: channel.6.pulse_ms: an integer from 50 to 60000; "
                     r"the rules in force stay", "the refused reload")
        client = self.client(hub)
        client.send(on(6))
        commands = wait_commands(board, 2, "the pulse of channel 6")
        self.assertEqual([f for _, f in commands], [on(6), off(6)])
        self.assertGreaterEqual(gap(commands, on(6), off(6)), 0.3, commands)


def main():
    args = parse_programs(argparse.ArgumentParser(description=__doc__.splitlines()[0]))
    run_cases(RulesTest, args)


if __name__ == "__main__":
    main()
