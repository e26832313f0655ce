#!/usr/bin/env python3
"""Whole-program tests: the real kestrel.exe under wine, real X input, boardsim on
loopback; what only the running program shows. The dialog's own logic is tested in
process (tests/panel); this checks the screen, the windows' texts and the board's log.

--soak N repeats the flooding-board story N times (reconnecting each time) and checks
that the panel's resident memory stays flat; tests/e2e/soak.sh runs it.
"""

import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "panelprobe"))
from panel_driver import (BUTTON, QUERY, PanelTestCase, Paths, click, frame,  # noqa: E402
                          keys, run, screen, settings_file, wait_for, xdotool)

YELLOW, BLUE, WHITE, BLACK = (255, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0)
GREEN, MAGENTA, RED, CYAN = (0, 255, 0), (255, 0, 255), (255, 0, 0), (0, 255, 255)
SOAK = {"cycles": 1, "flood": 500}
RSS_GROWTH_KB = 4096  # what a long soak may add to the panel's resident memory


def colours(on=None):
    """{button id: (face, text)}: channels yellow before any status (on is None), else
    green for the channels in on and red for the rest; the all-channels buttons white."""
    pair = {None: (YELLOW, BLUE), True: (GREEN, MAGENTA), False: (RED, CYAN)}
    shown = {BUTTON[n]: pair[None if on is None else n in on] for n in range(1, 17)}
    return shown | {BUTTON[17]: (WHITE, BLACK), BUTTON[18]: (WHITE, BLACK)}


def colour_problems(controls, expected):
    """Buttons whose face (an eighth in from the left, mid-height) or caption (pixels of
    the text colour in its middle) is not as expected."""
    width, pixels = screen()
    problems = {}
    for control_id, (face, text) in expected.items():
        left, top, right, bottom = controls[control_id].rect
        inset = (right - left) // 4

        def at(x, y):
            return tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])
        caption = [at(x, y) for x in range(left + inset, right - inset)
                   for y in range(top + (bottom - top) // 4, bottom - (bottom - top) // 4)]
        shown = at(left + inset // 2, (top + bottom) // 2)
        if shown != face or caption.count(text) < 10:
            problems[control_id] = f"face {shown}, {caption.count(text)} text pixels"
    return problems


class PanelTest(PanelTestCase):

    def wait_colours(self, expected):
        controls = self.panel.controls()
        try:
            wait_for(lambda: not colour_problems(controls, expected), "colours", interval=0.3)
        except AssertionError:
            self.fail(f"button colours: {colour_problems(controls, expected)}")

    # The captions, the boxes and a failed connect are the dialog's own (tests/panel).
    def test_start_up_about_box_and_escape(self):
        panel = self.start_panel(settings_file(6000))  # never connected
        panel.controls()
        with open(f"/proc/{panel.pid}/maps", encoding="ascii", errors="replace") as maps:
            self.assertFalse("shell32.dll" in maps.read().lower(), "shell32 loaded at start-up")
        self.wait_colours(colours())
        keys("alt+space")  # the system menu, a second X window; its last item is About
        wait_for(lambda: len(run("xdotool", "search", "--onlyvisible", "--classname", ".")
                             .stdout.split()) == 2, "the system menu")
        xdotool("key", "--delay", 200, "Up", "Return")
        panel.close("关于 Kestrel")
        keys("Escape")
        self.assertEqual(panel.process.wait(120), 0)

    def test_clicks_while_the_board_floods(self):
        """The clicks and the paint go on while the panel works through the stream."""
        self.switch_channels(SOAK["cycles"], "--flood", SOAK["flood"])

    def switch_channels(self, cycles, *board_options):
        """Connects (cycles times, each a new connection), clicks channels 3 and 2 each
        time and watches the frames at the board and the colours on the screen."""
        board = self.start_board("--channels", "0x8005", *map(str, board_options))
        panel = self.start_panel(settings_file(board.port))
        controls = panel.controls()
        on, sent = {1, 3, 16}, []
        for cycle in range(cycles):
            self.assertEqual(panel.connect(), "建立连接成功")
            for channel in (3, 2):
                sent.append(frame(0x11 if channel in on else 0x12, channel))
                click(controls[BUTTON[channel]])
                wait_for(lambda: [f for f in board.frames() if f != QUERY] == sent,
                         f"{sent[-1].hex(' ')} at the board")
                on ^= {channel}
                self.wait_colours(colours(on))
            memory = memory if cycle else panel.memory_kb("VmRSS")
        self.assertLessEqual(panel.memory_kb("VmRSS") - memory, RSS_GROWTH_KB)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for program in ("kestrel", "probe", "boardsim"):
        parser.add_argument(f"--{program}", required=True)
    parser.add_argument("--soak", type=int, help="cycles of the flooding board")
    args, rest = parser.parse_known_args()
    Paths.kestrel, Paths.probe, Paths.boardsim = map(os.path.abspath, (args.kestrel, args.probe, args.boardsim))
    if args.soak:
        SOAK.update(cycles=args.soak, flood=5000)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
