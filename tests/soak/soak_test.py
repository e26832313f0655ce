#!/usr/bin/env python3
"""Reliability suite of the control panel: flood, garbage, link flaps, handle leaks,
bad settings files and hostile boards, each against the real kestrel.exe under wine.

Short form (CTest, scripts/test.sh): the counts below. Long form, run locally:
    tests/soak/run_long.sh
which passes --long: a 30 s flood, 1 MiB of garbage, 200 link flaps, 100,000 status
frames and 1,000 About boxes. Every loop is bounded and the whole run stops by itself.

Needs DISPLAY and a running wine server (scripts/env.sh provides both); panelprobe.exe
drives the panel, ImageMagick's import reads the colours. Anything missing fails the run.
The shared driver is tests/panelprobe/panel_driver.py.
"""

import fcntl
import os
import random
import socket
import subprocess
import sys
import termios
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "panelprobe"))
from panel_driver import (CONNECTED, IDC_BUTTON, IDC_IP, IDC_PORT, START_COLOURS,  # noqa: E402
                          PanelTestCase, argument_parser, colours_for, frame,
                          message_box, probe, probe_count, run_suite, settings_file, start_probe,
                          wait_for)

SHORT = dict(flood_s=10, garbage_bytes=64 * 1024, flaps=15, frames=3000, about=100)
LONG = dict(flood_s=30, garbage_bytes=1024 * 1024, flaps=200, frames=100_000, about=1000)
SCALE = dict(SHORT)

# Resident memory the panel may gain during a flood; the stream itself needs none.
RSS_GROWTH_KB = 4096
# Objects the system may take for itself between two counts of the GDI table's room.
GDI_SLACK = 16


def status_frame(channels):
    """A status frame with channel n on where bit n-1 of channels is set."""
    return frame(0x10, channels)


def last_frame_in_step(stream):
    """The channels the panel shows after a stream that arrives without a pause: it
    cuts the stream into 8-byte frames from the first byte and applies each whose
    checksum holds, so the last of those counts (bytes 5 and 6); None if there is none."""
    shown = None
    for start in range(0, len(stream) - 7, 8):
        candidate = stream[start:start + 8]
        if sum(candidate[:7]) % 256 == candidate[7]:
            shown = candidate[5] << 8 | candidate[6]
    return shown


def colours_of(channels):
    """The button colours a status frame with these channel bits shows."""
    return colours_for({n for n in range(1, 17) if channels >> (n - 1) & 1})


def ping_failures(output):
    """Reasons a 'panelprobe ping' run shows the panel unresponsive, or []."""
    fields = output.split()
    if fields[:1] != ["pings"] or int(fields[1]) == 0:
        return [f"no pings: {output!r}"]
    return [f"{fields[5]} round trips took 1 s or more"] if fields[5] != "0" else []


class Listener:
    """A board of the test's own on 127.0.0.1: accepts one connection at a time."""

    def __init__(self, port=0):
        self.socket = socket.socket()
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.socket.bind(("127.0.0.1", port))
        self.socket.listen(1)
        self.port = self.socket.getsockname()[1]

    def accept(self, timeout=30):
        self.socket.settimeout(timeout)
        connection, _ = self.socket.accept()
        connection.settimeout(None)
        return connection

    def close(self):
        self.socket.close()


def queued_bytes(connection):
    """Bytes the board has sent that the panel has not read yet: the board's send
    queue plus the panel's receive queue, from /proc/net/tcp."""
    unsent = int.from_bytes(fcntl.ioctl(connection, termios.TIOCOUTQ, b"\0\0\0\0"), "little")
    host, port = connection.getpeername()
    local = f"{socket.htonl(int.from_bytes(socket.inet_aton(host), 'big')):08X}:{port:04X}"
    with open("/proc/net/tcp", encoding="ascii") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if fields[1] == local:
                return unsent + int(fields[4].split(":")[1], 16)
    return unsent


def wait_drained(connection, timeout):
    """Until the panel has read everything sent on the connection; the hand-off of
    the last byte has then been answered or is a moment away."""
    wait_for(lambda: queued_bytes(connection) == 0, "the panel to read the stream",
             timeout=timeout, interval=0.2)
    time.sleep(0.5)


class PanelCase(PanelTestCase):
    """Also ends every listener a case started."""

    def listener(self, port=0):
        listener = Listener(port)
        self.addCleanup(listener.close)
        return listener

    def assert_responsive(self, panel, seconds):
        status, output = probe("ping", seconds, timeout=seconds + 60)
        self.assertEqual(status, 0, f"the panel went away: {output}")
        self.assertEqual(ping_failures(output), [])
        self.assertTrue(panel.alive())


class FloodTest(PanelCase):

    def test_flood_keeps_the_panel_responsive_and_its_memory_flat(self):
        seconds = SCALE["flood_s"]
        board = self.start_board("--channels", "0x8005", "--flood-ms", str(seconds * 1000))
        panel = self.start_panel(settings_file(board.port))
        self.assertEqual(panel.connect(), CONNECTED)
        baseline = panel.memory_kb("VmRSS")
        pinger = start_probe("ping", seconds)
        peak = baseline
        while pinger.poll() is None:
            peak = max(peak, panel.memory_kb("VmRSS"))
            time.sleep(0.25)
        output = pinger.stdout.read().decode()
        pinger.stdout.close()
        self.assertEqual(pinger.returncode, 0, output)
        self.assertEqual(ping_failures(output), [])
        self.assertTrue(panel.alive(), "the panel ended")
        self.assertLessEqual(peak - baseline, RSS_GROWTH_KB, "resident memory grew (kB)")
        self.wait_colours(colours_of(0x8005), timeout=seconds + 60)


class GarbageTest(PanelCase):

    def test_random_bytes_with_frames_end_on_the_last_frame_in_step(self):
        rng = random.Random(6)
        stream = bytearray()
        while len(stream) < SCALE["garbage_bytes"]:
            stream += rng.randbytes(rng.randrange(1, 600))
            stream += status_frame(rng.randrange(0x10000))
        channels = last_frame_in_step(stream)
        self.assertIsNotNone(channels, "no frame in step: pick another seed")

        listener = self.listener()
        panel = self.start_panel(settings_file(listener.port))
        sender = threading.Thread(target=self._serve, args=(listener, stream))
        sender.start()
        self.assertEqual(panel.connect(), CONNECTED)
        sender.join(30)
        self.assertIsNotNone(self.connection, "the panel did not connect")
        wait_drained(self.connection, timeout=len(stream) / 500 + 60)
        self.assertTrue(panel.alive(), "the panel ended")
        self.wait_colours(colours_of(channels), timeout=10)

        # Out of step or not, a pause longer than the receive time-out makes the next
        # byte start a frame.
        self.connection.sendall(bytes(rng.randbytes(5)))
        time.sleep(1)
        self.connection.sendall(status_frame(channels ^ 0xFFFF))
        self.wait_colours(colours_of(channels ^ 0xFFFF))

    def _serve(self, listener, stream):
        self.connection = None
        connection = listener.accept()
        self.addCleanup(connection.close)
        self.connection = connection
        connection.sendall(stream)


class LinkFlapTest(PanelCase):

    def test_reconnects_leave_no_thread_or_socket_behind(self):
        # Each connection: three frames at once, the answer to the panel's query, closed.
        board = self.start_board("--channels", "0x8005", "--flood", "3", "--close-after", "1")
        panel = self.start_panel(settings_file(board.port))
        cycles = SCALE["flaps"]
        flaps = start_probe("flaps", cycles, stdin=subprocess.PIPE)
        self.addCleanup(flaps.stdout.close)
        self.addCleanup(lambda: flaps.poll() is not None or flaps.kill())
        baseline = None
        for cycle in range(1, cycles + 1):
            line = flaps.stdout.readline().decode().split()
            self.assertEqual(line[:2], ["cycle", str(cycle)], f"panelprobe: {line}")
            self.assertEqual(line[2], "1", f"cycle {cycle}: message boxes shown at once")
            self.assertEqual(bytes.fromhex(line[3]).decode("gbk"), CONNECTED)
            # The board closes after its answer; the receive thread then ends.
            wait_for(lambda: len(board.frames()) >= cycle, f"cycle {cycle}'s query at the board")
            counts = (panel.threads(), panel.sockets())
            if baseline is None:
                time.sleep(1)
                baseline = counts = (panel.threads(), panel.sockets())
            else:
                counts = wait_for(lambda: (panel.threads(), panel.sockets()) == baseline
                                  and baseline, "threads and sockets back to the baseline",
                                  timeout=10)
            self.assertEqual(counts, baseline, f"threads and sockets after cycle {cycle}")
            flaps.stdin.write(b"go\n")
            flaps.stdin.flush()
        flaps.stdin.close()
        self.assertEqual(flaps.wait(30), 0)
        self.assertIsNone(message_box(), "a message box after the last cycle")
        self.assertEqual(len(board.frames()), cycles, "one query per connection")
        self.wait_colours(colours_of(0x8005))


class HandleLeakTest(PanelCase):

    def test_frames_and_about_boxes_give_back_their_handles(self):
        listener = self.listener()
        panel = self.start_panel(settings_file(listener.port))
        accepted = []
        acceptor = threading.Thread(target=lambda: accepted.append(listener.accept()))
        acceptor.start()
        self.assertEqual(panel.connect(), CONNECTED)
        acceptor.join(30)
        self.assertTrue(accepted, "the panel did not connect")
        connection = accepted[0]
        self.addCleanup(connection.close)

        def send_frames(count, last):
            # Alternating states, so every frame repaints every channel; frames go in
            # small bursts, so the panel paints between them.
            patterns = (last, last ^ 0xFFFF)
            for i in range(count):
                connection.sendall(status_frame(patterns[(count - 1 - i) % 2]))
                if i % 16 == 15:
                    time.sleep(0.002)
            wait_drained(connection, timeout=count / 50 + 60)

        # Whatever the system creates once (fonts, caches) exists before the first count.
        send_frames(200, 0x00FF)
        self.wait_colours(colours_of(0x00FF))
        probe("about", 2)
        room, windows = probe_count("gdiroom"), probe_count("windows")

        send_frames(SCALE["frames"], 0x8421)
        self.assertGreaterEqual(probe_count("gdiroom"), room - GDI_SLACK, "GDI room lost to frames")
        self.wait_colours(colours_of(0x8421))

        status, output = probe("about", SCALE["about"], timeout=SCALE["about"] + 120)
        self.assertEqual(status, 0, output)
        self.assertGreaterEqual(probe_count("gdiroom"), room - GDI_SLACK, "GDI room lost to About")
        self.assertEqual(probe_count("windows"), windows, "windows left behind by the About box")
        send_frames(2, 0x1248)
        self.wait_colours(colours_of(0x1248))
        self.assertTrue(panel.alive())


DEFAULT_CAPTIONS = {n: f"第{n}路".encode("gbk") for n in range(1, 19)}


class BadSettingsTest(PanelCase):
    """The panel starts and shows the defaults or what the file gives. None of these
    presses Connect: the default address is not loopback."""

    def assert_shows(self, panel, ip, port, captions=None):
        controls = panel.controls()
        self.assertEqual((controls[IDC_IP].raw, controls[IDC_PORT].raw), (ip, port))
        shown = {n: controls[IDC_BUTTON[n]].raw for n in range(1, 19)}
        self.assertEqual(shown, {**DEFAULT_CAPTIONS, **(captions or {})})
        self.wait_colours(START_COLOURS)

    def test_ten_megabyte_line(self):
        long_value = b"A" * (10 * 1024 * 1024)
        settings = (settings_file(7001) + "[canshu]\r\n按钮名称1=".encode("gbk") + long_value
                    + "\r\n按钮名称2=阀门\r\n".encode("gbk"))
        panel = self.start_panel(settings)
        # Values are read into 1000 characters: the long one is cut to 999.
        self.assert_shows(panel, b"127.0.0.1", b"7001", {1: b"A" * 999, 2: "阀门".encode("gbk")})

    def test_binary_junk(self):
        junk = random.Random(7).randbytes(256 * 1024).replace(b"[", b"(")
        self.assert_shows(self.start_panel(junk), b"192.168.1.110", b"6000")

    def test_keys_without_values(self):
        settings = "[canshu_v2]\r\nsocket_port\r\nsocket_ip\r\n[canshu]\r\n按钮名称3\r\n"
        self.assert_shows(self.start_panel(settings.encode("gbk")), b"192.168.1.110", b"6000")

    def test_read_only_file(self):
        panel = self.start_panel(
            settings_file(7002), prepare=lambda d: os.chmod(os.path.join(d, "canshu.ini"), 0o444))
        self.assert_shows(panel, b"127.0.0.1", b"7002")

    def test_directory_named_like_the_file(self):
        panel = self.start_panel(prepare=lambda d: os.mkdir(os.path.join(d, "canshu.ini")))
        self.assert_shows(panel, b"192.168.1.110", b"6000")


class HostileBoardTest(PanelCase):

    def test_panel_survives_hostile_boards_then_connects_to_a_good_one(self):
        listener = self.listener()
        port = listener.port
        panel = self.start_panel(settings_file(port))

        # Accepts and never answers.
        silent = self.serve_once(listener, lambda c: None)
        self.assertEqual(panel.connect(), CONNECTED)
        self.assert_responsive(panel, 3)
        silent.join(5)

        # Sends bytes without end, until the panel goes away or the case ends.
        stop = threading.Event()
        self.addCleanup(stop.set)

        def endless(connection):
            rng = random.Random(8)
            while not stop.is_set():
                connection.sendall(rng.randbytes(4096))

        streamer = self.serve_once(listener, endless)
        self.assertEqual(panel.connect(), CONNECTED)
        self.assert_responsive(panel, 5)
        stop.set()

        # Resets the connection in the middle of a frame.
        def reset(connection):
            connection.sendall(status_frame(0xFFFF)[:4])
            time.sleep(0.3)
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                  (1).to_bytes(4, "little") + (0).to_bytes(4, "little"))

        resetter = self.serve_once(listener, reset)
        self.assertEqual(panel.connect(), CONNECTED)
        resetter.join(10)
        self.assert_responsive(panel, 2)
        streamer.join(10)
        listener.close()

        self.start_board("--channels", "0x8005", port=port)
        self.assertEqual(panel.connect(), CONNECTED)
        self.wait_colours(colours_of(0x8005))
        self.assertTrue(panel.alive())

    def serve_once(self, listener, behaviour):
        """Accepts the next connection on a thread and treats it with behaviour; the
        connection is closed when the behaviour returns."""
        def serve():
            connection = listener.accept()
            try:
                behaviour(connection)
            except OSError:
                pass
            finally:
                connection.close()

        thread = threading.Thread(target=serve, daemon=True)
        thread.start()
        return thread


def main():
    parser = argument_parser(__doc__.splitlines()[0])
    parser.add_argument("--long", action="store_true", help="the full counts")
    args, rest = parser.parse_known_args()
    if args.long:
        SCALE.update(LONG)
    run_suite("soak", args, rest)


if __name__ == "__main__":
    main()
