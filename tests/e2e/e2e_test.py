#!/usr/bin/env python3
"""Whole-program tests of the control panel.

Each case starts the real kestrel.exe under wine, in a temporary working
directory with its own canshu.ini, against boardsim on loopback. It acts through
real X input (xdotool), reads the panel's windows with panelprobe.exe, checks the
frames in boardsim's log byte for byte and the button colours in screenshots.

Needs DISPLAY and a running wine server (scripts/env.sh provides both), xdotool
and ImageMagick. Anything missing fails the run. The shared driver is
tests/panelprobe/panel_driver.py.
"""

import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "panelprobe"))
from panel_driver import (CONNECTED, IDC_ALL_OFF, IDC_ALL_ON, IDC_CHANNEL,  # noqa: E402
                          IDC_CONNECT, IDC_IP, IDC_PORT, IDC_REFRESH, IDOK, START_COLOURS,
                          BoardsimDidNotStart, PanelTestCase, argument_parser, centre, click,
                          colours_for, focus_panel, frame, other_windows, message_box, probe,
                          run_suite, settings_file, wait_for, xdotool)

APP_TITLE = "kestrel"
ABOUT_CAPTION = "关于 Kestrel"

QUERY = bytes.fromhex("55 01 10 00 00 00 00 66")
ALL_ON = bytes.fromhex("55 01 13 FF FF FF FF 65")
ALL_OFF = bytes.fromhex("55 01 13 00 00 00 00 69")

# Ports the port box accepts (up to 10000), tried in turn for boards typed into it.
EDITABLE_PORTS = iter(range(7000, 10001))


def commands(board):
    """The frames other than status queries, in arrival order."""
    return [f for f in board.frames() if f != QUERY]


def closed_port():
    """A loopback port nobody listens on."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class E2ETestCase(PanelTestCase):
    """Acts on the panel as a user does: mouse and keyboard through X."""

    def start_editable_board(self, *options):
        """A board on a free port the port box accepts."""
        for port in EDITABLE_PORTS:
            try:
                return self.start_board(*options, port=port)
            except BoardsimDidNotStart:
                continue
        raise AssertionError("no free loopback port up to 10000 for boardsim")

    def click_control(self, control_id, repeat=1):
        click(*centre(self.panel.controls()[control_id].rect), repeat=repeat)

    def click_connect(self):
        """Clicks Connect, only while the address box reads 127.0.0.1."""
        controls = self.panel.controls()
        self.assertEqual(controls[IDC_IP].raw, b"127.0.0.1", "Connect with a non-loopback address")
        click(*centre(controls[IDC_CONNECT].rect))

    def replace_port_text(self, text):
        """Clicks into the port box, selects its text and types over it."""
        self.click_control(IDC_PORT)
        focus_panel()
        xdotool("key", "End", "shift+Home")
        if text:
            xdotool("type", "--delay", 60, text)
        else:
            xdotool("key", "BackSpace")

    def wait_message_box(self):
        return wait_for(message_box, "a message box")

    def answer(self, window):
        """Presses the window's OK button with the mouse."""
        click(*centre(window.children[IDOK].rect))
        wait_for(lambda: not other_windows(), "the window to close")

    def assert_message_box(self, box, text, icon):
        self.assertEqual(box.text, APP_TITLE, "message box caption")
        self.assertEqual(box.message(), text)
        self.assertEqual(box.has_icon(), icon, "message box icon")

    def connect(self):
        """Connect, check the success message, answer it and return."""
        self.click_connect()
        box = self.wait_message_box()
        self.assert_message_box(box, CONNECTED, icon=False)
        self.answer(box)

    def wait_exit(self):
        try:
            self.panel.process.wait(30)
        except subprocess.TimeoutExpired:
            self.fail("the panel did not end")


# --- the cases ------------------------------------------------------------

class StartUpTest(E2ETestCase):

    def test_defaults_without_settings_file(self):
        # No settings file: the default address is not loopback, so nothing
        # here may press Connect. The board only shows that nothing arrived.
        board = self.start_board()
        self.start_panel()
        controls = self.panel.controls()
        self.assertEqual(controls[IDC_IP].text, "192.168.1.110")
        self.assertEqual(controls[IDC_PORT].text, "6000")
        for n in range(1, 17):
            self.assertEqual(controls[IDC_CHANNEL[n]].text, f"第{n}路")
        self.assertEqual(controls[IDC_ALL_ON].text, "第17路")
        self.assertEqual(controls[IDC_ALL_OFF].text, "第18路")
        self.assertEqual(controls[IDC_CONNECT].text, "连接")
        self.assertEqual(controls[IDC_REFRESH].text, "刷新")
        self.wait_colours(START_COLOURS)
        self.assertEqual(board.frames(), [])
        self.assertFalse(os.path.exists(self.panel.ini), "the panel wrote a settings file")

    def test_settings_file_gives_address_port_and_captions(self):
        captions = {1: "水泵 A", 3: "照明（东）", 9: "Fan #9", 16: "第十六路·备用",
                    17: "全部开", 18: ""}
        # A port above 10000 from the file is shown as it is.
        settings = settings_file(12345, captions=captions)
        self.start_panel(settings)
        controls = self.panel.controls()
        self.assertEqual(controls[IDC_IP].raw, b"127.0.0.1")
        self.assertEqual(controls[IDC_PORT].raw, b"12345")
        expected = {IDC_CHANNEL[n]: f"第{n}路" for n in range(1, 17)}
        expected.update({IDC_CHANNEL[1]: "水泵 A", IDC_CHANNEL[3]: "照明（东）",
                         IDC_CHANNEL[9]: "Fan #9", IDC_CHANNEL[16]: "第十六路·备用",
                         IDC_ALL_ON: "全部开", IDC_ALL_OFF: "第18路"})
        for control_id, text in expected.items():
            self.assertEqual(controls[control_id].raw, text.encode("gbk"), f"caption of {control_id}")

    def test_system_menu_ends_with_about_item_and_about_box_opens(self):
        self.start_panel(settings_file(closed_port()))
        status, output = probe("sysmenu")
        self.assertEqual(status, 0, "probe sysmenu")
        items = [line.split() for line in output.splitlines()]
        separator, about = items[-2], items[-1]
        self.assertEqual(separator[3], "1", "separator before the About item")
        self.assertEqual(about[2:4], ["16", "0"])
        self.assertEqual(bytes.fromhex(about[4]), "关于 Kestrel(&A)...".encode("gbk"))

        # Commands differing from 16 only in their low four bits open it too.
        for command in (16, 17):
            self.assertEqual(probe("syscommand", command)[0], 0)
            about_box = wait_for(lambda: next(
                (w for w in other_windows() if w.text == ABOUT_CAPTION), None),
                f"the About box after WM_SYSCOMMAND {command}")
            self.assertEqual(about_box.children[IDOK].text, "确定")
            self.answer(about_box)
        self.assertTrue(self.panel.alive(), "the panel ended with the About box")

    def test_escape_ends_the_program(self):
        self.start_panel(settings_file(closed_port()))
        focus_panel()
        xdotool("key", "Escape")
        self.wait_exit()

    def test_close_box_ends_the_program(self):
        self.start_panel(settings_file(closed_port()))
        status, output = probe("closebox")
        self.assertEqual(status, 0, "probe closebox")
        click(*map(int, output.split()[1:3]))
        self.wait_exit()


class ConnectionTest(E2ETestCase):

    def test_connect_status_colours_and_commands(self):
        board = self.start_board("--channels", "0x8005")
        self.start_panel(settings_file(board.port))
        self.click_connect()
        box = self.wait_message_box()
        self.assert_message_box(box, CONNECTED, icon=False)
        # The link is up but the panel is not yet connected while the message
        # is open: no periodic query may go out (one would come every 600 ms).
        time.sleep(2)
        self.assertEqual(board.frames(), [], "frames sent while the message was open")
        self.answer(box)
        self.assertEqual(board.wait_frames(1, "the first query")[0], QUERY)

        # Byte 6 = 0x05, byte 5 = 0x80: channels 1, 3 and 16 on.
        self.wait_colours(colours_for({1, 3, 16}))

        # Channel 3 is on, so it is switched off; channel 2 is off, so on.
        self.click_control(IDC_CHANNEL[3])
        wait_for(lambda: commands(board) == [frame(0x11, 3)], "channel 3 off")
        self.wait_colours(colours_for({1, 16}))
        self.click_control(IDC_CHANNEL[2])
        wait_for(lambda: len(commands(board)) == 2, "channel 2 command")
        self.assertEqual(commands(board)[1], frame(0x12, 2))
        self.wait_colours(colours_for({1, 2, 16}))

        # All on and all off send fixed frames whatever the states are, and
        # their own buttons stay white.
        for button, fixed_frame, on in ((IDC_ALL_ON, ALL_ON, range(1, 17)),
                                        (IDC_ALL_OFF, ALL_OFF, ()),
                                        (IDC_ALL_OFF, ALL_OFF, ()),
                                        (IDC_ALL_ON, ALL_ON, range(1, 17))):
            sent = len(commands(board))
            self.click_control(button)
            wait_for(lambda: len(commands(board)) > sent, "the all-channels frame")
            self.assertEqual(commands(board)[sent], fixed_frame)
            self.wait_colours(colours_for(set(on)))
        self.assertEqual(other_windows(), [], "unexpected window")

    def test_silent_board_first_click_polling_and_refresh(self):
        board = self.start_board("--silent")
        self.start_panel(settings_file(board.port))
        self.connect()
        self.assertEqual(board.wait_frames(1, "the first query")[0], QUERY)

        # No status yet: the channel's state is unknown, so a click switches off.
        self.click_control(IDC_CHANNEL[5])
        wait_for(lambda: commands(board) == [bytes.fromhex("55 01 11 00 00 00 05 6C")],
                 "channel 5 off")
        self.assert_colours_now(START_COLOURS)

        # A query every 20 ticks of 30 ms: about 6-7 in 4 s. Loose bounds.
        before = len(board.frames())
        time.sleep(4)
        polled = board.frames()[before:]
        self.assertTrue(all(f == QUERY for f in polled), polled)
        self.assertGreaterEqual(len(polled), 3)
        self.assertLessEqual(len(polled), 20)

        # Refresh queries at once: six quick clicks between two channel clicks
        # bring at least six queries, more than polling alone could in that time.
        self.click_control(IDC_CHANNEL[7])
        wait_for(lambda: len(commands(board)) == 2, "channel 7 command")
        self.click_control(IDC_REFRESH, repeat=6)
        self.click_control(IDC_CHANNEL[8])
        wait_for(lambda: len(commands(board)) == 3, "channel 8 command")
        frames = board.frames()
        first = frames.index(frame(0x11, 7))
        last = frames.index(frame(0x11, 8))
        self.assertGreaterEqual(frames[first + 1:last].count(QUERY), 6)
        self.assert_colours_now(START_COLOURS)

    def test_bad_checksum_reply_changes_nothing(self):
        board = self.start_board("--channels", "0x8005", "--corrupt-every", "1")
        self.start_panel(settings_file(board.port))
        self.connect()
        # The log line of a query is written after its (corrupted) answer went out.
        board.wait_frames(3, "three answered queries")
        self.assert_colours_now(START_COLOURS)
        self.assertEqual(other_windows(), [])

    def test_board_closing_the_link_keeps_colours_without_message(self):
        board = self.start_board("--channels", "0x8005", "--close-after", "1")
        self.start_panel(settings_file(board.port))
        self.connect()
        self.wait_colours(colours_for({1, 3, 16}))
        # Queries go on into the closed link; watch for a message or a change.
        time.sleep(2)
        self.assertEqual(other_windows(), [], "a window appeared")
        self.assert_colours_now(colours_for({1, 3, 16}))
        self.assertEqual(board.frames(), [QUERY])

    def test_connect_to_closed_port_shows_failure(self):
        self.start_panel(settings_file(closed_port()))
        self.click_connect()
        box = self.wait_message_box()
        self.assert_message_box(box, "建立连接失败", icon=False)
        self.answer(box)
        self.assertTrue(self.panel.alive())


class SettingsTest(E2ETestCase):

    def test_unchanged_address_and_port_leave_file_untouched(self):
        board = self.start_board()
        # Written in forms that read as the board's address and port but that
        # any write of either key would change.
        settings = settings_file(f"0{board.port}", ip='"127.0.0.1"', captions={2: "阀门"})
        self.start_panel(settings)
        old = 1_500_000_000_000_000_000
        os.utime(self.panel.ini, ns=(old, old))
        self.connect()
        board.wait_frames(1, "the first query")
        with open(self.panel.ini, "rb") as f:
            self.assertEqual(f.read(), settings)
        self.assertEqual(os.stat(self.panel.ini).st_mtime_ns, old)

    def test_changed_port_rewrites_both_keys(self):
        board = self.start_editable_board()
        # The quoted address reads as 127.0.0.1; only a write of the key
        # removes the quotes.
        self.start_panel(settings_file(closed_port(), ip='"127.0.0.1"'))
        self.replace_port_text(str(board.port))
        wait_for(lambda: self.panel.controls()[IDC_PORT].raw == str(board.port).encode(),
                 "the typed port")
        self.connect()
        board.wait_frames(1, "the first query")
        with open(self.panel.ini, "rb") as f:
            lines = f.read().decode("gbk").split()
        self.assertIn(f"socket_port={board.port}", lines)
        self.assertIn("socket_ip=127.0.0.1", lines)

    def test_port_box_refuses_empty_and_out_of_range(self):
        board = self.start_editable_board()
        self.start_panel(settings_file(board.port))
        # Every edit re-reads both boxes, so an empty box complains at once.
        self.replace_port_text("")
        box = self.wait_message_box()
        self.assert_message_box(box, "“请填入一个正整数。”", icon=False)
        self.answer(box)

        self.replace_port_text("20000")
        box = self.wait_message_box()
        self.assert_message_box(box, "“请填入一个在0和10000之间的整数。”", icon=True)
        self.answer(box)
        self.assertEqual(board.frames(), [])


def main():
    parser = argument_parser(__doc__.splitlines()[0])
    args, rest = parser.parse_known_args()
    run_suite("e2e", args, rest)


if __name__ == "__main__":
    main()
