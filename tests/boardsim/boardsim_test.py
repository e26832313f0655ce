#!/usr/bin/env python3
"""boardsim's own behaviours that relayctl's tests do not show: its reassembly of what
it receives, the bytes it sends on connect, and stopping on a signal."""

import argparse
import os
import signal
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "panelprobe"))
from panel_driver import Paths, PanelTestCase, frame  # noqa: E402


def status(channels):
    return frame(0x10, channels)


class BoardsimTest(PanelTestCase):

    def exchange(self, board, *pieces):
        """Sends the pieces one by one and reads until the board closes."""
        with socket.create_connection(("127.0.0.1", board.port), timeout=20) as client:
            client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            for piece in pieces:
                client.sendall(piece)
            received, deadline = b"", time.monotonic() + 20
            while chunk := client.recv(4096):
                received += chunk
                if time.monotonic() > deadline:
                    raise AssertionError("boardsim did not close the connection")
            return received

    def test_frames_are_cut_at_every_eighth_byte_and_bad_ones_dropped(self):
        board = self.start_board("--close-after", "4")
        on2, on4, bad_on5 = frame(0x12, 2), frame(0x12, 4), frame(0x12, 5)[:7] + b"\x00"
        self.assertEqual(self.exchange(board, on2[:3], on2[3:] + on4 + bad_on5 + frame(0x10, 0)),
                         status(0x0002) + status(0x000A) * 2)

    def test_bytes_sent_on_connect_come_before_the_answers(self):
        path = os.path.join(self.directory, "bytes.bin")
        with open(path, "wb") as file:
            file.write(b"\x01\x02")
        board = self.start_board("--send-hex", "de ad:BE,ef", "--send-file", path,
                                 "--flood", "3", "--channels", "0x1234", "--close-after", "1")
        self.assertEqual(self.exchange(board, frame(0x10, 0)),
                         bytes.fromhex("deadbeef0102") + status(0x1234) * 4)

    def test_a_timed_flood_ends(self):
        board = self.start_board("--flood-ms", "200", "--close-after", "1")
        flood = self.exchange(board, frame(0x10, 0))
        self.assertEqual(flood, status(0) * (len(flood) // 8))

    def test_stops_on_a_signal_even_while_a_reader_does_not_read(self):
        idle = self.start_board()
        idle.process.send_signal(signal.SIGINT)
        self.assertEqual(idle.process.wait(20), 0)
        flooding = self.start_board("--flood-ms", "600000")
        with socket.create_connection(("127.0.0.1", flooding.port), timeout=20) as client:
            self.assertTrue(client.recv(8), "no flood")
            flooding.process.send_signal(signal.SIGTERM)
            self.assertEqual(flooding.process.wait(20), 0)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--boardsim", required=True)
    Paths.boardsim = os.path.abspath(parser.parse_args().boardsim)
    sys.exit(not unittest.main(argv=sys.argv[:1], exit=False).result.wasSuccessful())
