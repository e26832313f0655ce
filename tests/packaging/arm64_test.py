#!/usr/bin/env python3
"""The arm64 build under qemu-user: relayhub and relayctl are aarch64 programs, and they
work against the host's boardsim on loopback."""

import argparse
import os
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "panelprobe"))
sys.path.insert(0, os.path.join(HERE, "..", "relayhub"))
from panel_driver import Boardsim, Paths, frame, wait_for  # noqa: E402
from broker import free_port  # noqa: E402

# The multiarch arm64 libraries and loader, at the paths an arm64 system has them.
QEMU = ["qemu-aarch64-static"]
TOOLS = {}


def accepts(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


class Arm64Test(unittest.TestCase):
    def setUp(self):
        self.directory = self.enterContext(tempfile.TemporaryDirectory())

    def test_aarch64_programs(self):
        for tool in ("relayhub", "relayctl"):
            with self.subTest(tool=tool):
                described = subprocess.run(["file", "-bL", TOOLS[tool]], capture_output=True,
                                           text=True, check=True, timeout=30).stdout
                self.assertIn("ARM aarch64", described)

    def test_help(self):
        result = subprocess.run([*QEMU, TOOLS["relayhub"], "--help"], capture_output=True,
                                text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("usage: relayhub", result.stdout)

    def test_switch_through_the_hub(self):
        board = Boardsim(self.directory)
        self.addCleanup(board.stop)
        port = free_port()
        hub = subprocess.Popen([*QEMU, TOOLS["relayhub"], "--board", f"127.0.0.1:{board.port}",
                                "--listen", f"127.0.0.1:{port}"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (hub.terminate(), hub.wait(30)))
        wait_for(lambda: hub.poll() is not None or accepts(port), "the arm64 hub listening", 60)
        self.assertIsNone(hub.poll(), "the arm64 hub exited")
        # The hub refuses clients until it has the board: the first answered query.
        wait_for(lambda: frame(0x10, 0) in board.frames(), "the hub's first query", 60)
        result = subprocess.run([*QEMU, TOOLS["relayctl"], "--host", "127.0.0.1", "--port",
                                 str(port), "on", "3"], capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(frame(0x12, 3), board.frames())



def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tools", required=True, help="the arm64 build's tools folder")
    parser.add_argument("--boardsim", required=True, help="the host's boardsim")
    args = parser.parse_args()
    for tool in ("relayhub", "relayctl"):
        TOOLS[tool] = os.path.join(args.tools, tool, tool)
        if not os.path.isfile(TOOLS[tool]):
            raise SystemExit(f"{TOOLS[tool]} is missing: scripts/test.sh builds it "
                             "(cmake --build --preset release-arm64)")
    Paths.boardsim = os.path.abspath(args.boardsim)
    suite = unittest.TestLoader().loadTestsFromTestCase(Arm64Test)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)


if __name__ == "__main__":
    main()
