#!/usr/bin/env python3
"""Whole-program tests of the control panel.

Each case starts the real kestrel.exe under wine, in a temporary working
directory with its own canshu.ini, against boardsim on loopback. It acts through
real X input (xdotool), reads the panel's windows with probe.exe, checks the
frames in boardsim's log byte for byte and the button colours in screenshots.

Needs DISPLAY and a running wine server (scripts/env.sh provides both), xdotool
and ImageMagick. Anything missing fails the run.
"""

import argparse
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

PANEL_CAPTION = "Kestrel V1.35"
APP_TITLE = "kestrel"
ABOUT_CAPTION = "关于 Kestrel"
IMPORT = "/usr/bin/import"
CONVERT = "/usr/bin/convert"

IDOK = 1
IDC_IP, IDC_PORT = 1000, 1001
IDC_CHANNEL = {n: 1002 + n for n in range(1, 17)}
IDC_ALL_ON, IDC_ALL_OFF = 1019, 1020
IDC_CONNECT, IDC_REFRESH = 1022, 1028
MESSAGE_TEXT_ID = 0xFFFF  # the static that holds a message box's text
PANEL_CONTROLS = {IDC_IP, IDC_PORT, *IDC_CHANNEL.values(), IDC_ALL_ON, IDC_ALL_OFF,
                  IDC_CONNECT, IDC_REFRESH}

QUERY = bytes.fromhex("55 01 10 00 00 00 00 66")
ALL_ON = bytes.fromhex("55 01 13 FF FF FF FF 65")
ALL_OFF = bytes.fromhex("55 01 13 00 00 00 00 69")

YELLOW, BLUE = (255, 255, 0), (0, 0, 255)
WHITE, BLACK = (255, 255, 255), (0, 0, 0)
GREEN, MAGENTA = (0, 255, 0), (255, 0, 255)
RED, CYAN = (255, 0, 0), (0, 255, 255)

# Where the mouse rests between actions: off the panel, so no button is hot and
# no tooltip covers a button.
MOUSE_REST = (1200, 1000)

PATHS = argparse.Namespace()


def channel_frame(command, channel):
    frame = bytes([0x55, 0x01, command, 0, 0, 0, channel])
    return frame + bytes([sum(frame) % 256])


def wait_for(condition, what, timeout=20.0, interval=0.1):
    """Polls condition until it returns something true; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def wine_env():
    env = dict(os.environ)
    env["LC_ALL"] = "zh_CN.GBK"
    env["WINEDEBUG"] = "-all"
    return env


def run(*command, env=None, timeout=30):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, env=env,
                          timeout=timeout, check=False)


def xdotool(*args):
    result = run("xdotool", *map(str, args))
    if result.returncode != 0:
        raise AssertionError(f"xdotool {' '.join(map(str, args))}: {result.stderr.decode()}")
    return result.stdout.decode()


def click(x, y, repeat=1):
    xdotool("mousemove", "--sync", x, y, "click", "--repeat", repeat, "--delay", 150, 1)
    xdotool("mousemove", "--sync", *MOUSE_REST)


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def gbk(data):
    return data.decode("gbk", errors="replace")


# --- probe.exe ------------------------------------------------------------

class Control:
    def __init__(self, fields):
        self.id = int(fields[1])
        self.visible = fields[3] == "1"
        self.rect = tuple(int(v) for v in fields[4:8])
        self.raw = b"" if fields[8] == "-" else bytes.fromhex(fields[8])
        self.text = gbk(self.raw)
        self.has_icon = fields[9] == "1"


class TopWindow:
    def __init__(self, fields):
        self.cls = fields[2]
        self.text = gbk(b"" if fields[7] == "-" else bytes.fromhex(fields[7]))
        self.children = {}

    def __repr__(self):
        return f"<{self.cls} {self.text!r}>"

    def is_message_box(self):
        return self.cls == "#32770" and MESSAGE_TEXT_ID in self.children

    def message(self):
        return self.children[MESSAGE_TEXT_ID].text

    def has_icon(self):
        return any(c.has_icon for c in self.children.values())


def probe(*args):
    result = run("wine", PATHS.probe, *map(str, args), env=wine_env())
    return result.returncode, result.stdout.decode("ascii")


def top_windows():
    """The visible windows of the panel's process, or None without a panel."""
    status, output = probe("dump")
    if status == 2:
        return None
    if status != 0:
        raise AssertionError(f"probe dump failed with status {status}")
    windows = []
    for line in output.splitlines():
        fields = line.split()
        if fields[0] == "window":
            windows.append(TopWindow(fields))
        elif fields[0] == "child":
            control = Control(fields)
            windows[-1].children.setdefault(control.id, control)
    return windows


def panel_window(windows):
    return next((w for w in windows or [] if w.text == PANEL_CAPTION), None)


def panel_is_gone():
    return probe("dump")[0] == 2


# --- screenshots ----------------------------------------------------------

class Screenshot:
    def __init__(self, directory):
        png = os.path.join(directory, "screen.png")
        for command in ([IMPORT, "-window", "root", png], [CONVERT, png, "ppm:-"]):
            result = run(*command)
            if result.returncode != 0:
                raise AssertionError(f"{command[0]}: {result.stderr.decode()}")
        magic, size, depth, self.pixels = result.stdout.split(b"\n", 3)
        self.width, self.height = map(int, size.split())
        if magic != b"P6" or depth != b"255":
            raise AssertionError("unexpected screenshot format")

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])


def button_colour_problem(shot, rect, face, text):
    """Face: four points inside the button, away from its edges and caption.
    Text: the caption area must hold pixels of the text colour."""
    left, top, right, bottom = rect
    width, height = right - left, bottom - top
    points = [(x, y) for x in (left + width * 12 // 100, right - 1 - width * 12 // 100)
              for y in (top + height * 30 // 100, top + height * 70 // 100)]
    faces = [shot.pixel(x, y) for x, y in points]
    if any(p != face for p in faces):
        return f"face {faces}, expected {face}"
    caption = [shot.pixel(x, y)
               for x in range(left + width // 5, right - width // 5)
               for y in range(top + height // 4, bottom - height // 4)]
    if caption.count(text) < 10:
        return f"only {caption.count(text)} caption pixels of {text}"
    return None


# --- boardsim -------------------------------------------------------------

class Board:
    """One boardsim process with its frame log."""

    _next_port = 7000

    def __init__(self, directory, options, port=0):
        self.log = os.path.join(directory, f"board-{port}.log")
        self.process = subprocess.Popen(
            [PATHS.boardsim, "--port", str(port), "--log", self.log, *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.port = self._read_port()

    def _read_port(self):
        line = b""
        deadline = time.monotonic() + 10
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([self.process.stdout], [], [], 0.2)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 64)
                if not chunk:
                    break
                line += chunk
        if line.startswith(b"port "):
            return int(line.split()[1])
        self.stop()
        return None

    @classmethod
    def on_editable_port(cls, directory, options):
        """A board on a free port the port box accepts (up to 10000)."""
        while cls._next_port <= 10000:
            port = cls._next_port
            cls._next_port += 1
            board = cls(directory, options, port)
            if board.port:
                return board
        raise AssertionError("no free loopback port up to 10000 for boardsim")

    def frames(self):
        if not os.path.exists(self.log):
            return []
        # Lines look like "<time> 55 01 10 00 00 00 00 66"; a line still being
        # written has no newline yet.
        with open(self.log, encoding="ascii") as log:
            return [bytes.fromhex(" ".join(line.split()[1:9])) for line in log
                    if line.endswith("\n")]

    def commands(self):
        """The frames other than status queries, in arrival order."""
        return [f for f in self.frames() if f != QUERY]

    def wait_frames(self, count, what):
        return wait_for(lambda: len(self.frames()) >= count and self.frames(), what)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()


def closed_port():
    """A loopback port nobody listens on."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def settings_file(port, ip="127.0.0.1", captions=None):
    lines = ["[canshu_v2]", f"socket_port={port}", f"socket_ip={ip}"]
    if captions:
        lines.append("[canshu]")
        lines += [f"按钮名称{n}={text}" for n, text in captions.items()]
    return ("\r\n".join(lines) + "\r\n").encode("gbk")


# --- the panel ------------------------------------------------------------

class PanelTestCase(unittest.TestCase):
    """Starts a panel in its own directory and ends everything it started."""

    def setUp(self):
        if not panel_is_gone():
            self.fail("a Kestrel panel is already running")
        self.directory = tempfile.mkdtemp(prefix="kestrel-e2e-")
        self.boards = []
        self.panel = None

    def tearDown(self):
        if self.panel and self.panel.poll() is None:
            self.panel.kill()
            self.panel.wait(30)
        for board in self.boards:
            board.stop()
        shutil.rmtree(self.directory, ignore_errors=True)
        wait_for(panel_is_gone, "the panel's windows to go", timeout=30)

    @property
    def ini(self):
        return os.path.join(self.directory, "canshu.ini")

    def start_board(self, *options, editable_port=False):
        if editable_port:
            board = Board.on_editable_port(self.directory, options)
        else:
            board = Board(self.directory, options)
            self.assertIsNotNone(board.port, "boardsim did not start")
        self.boards.append(board)
        return board

    def start_panel(self, settings=None):
        if settings is not None:
            with open(self.ini, "wb") as f:
                f.write(settings)
        self.panel = subprocess.Popen(
            ["wine", PATHS.kestrel], cwd=self.directory, env=wine_env(),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def ready():
            panel = panel_window(top_windows())
            shown = {i for i, c in panel.children.items() if c.visible} if panel else set()
            return panel if PANEL_CONTROLS <= shown else None

        return wait_for(ready, "the panel window", timeout=60)

    def controls(self):
        return wait_for(lambda: panel_window(top_windows()), "the panel").children

    def click_control(self, control_id, repeat=1):
        click(*centre(self.controls()[control_id].rect), repeat=repeat)

    def x_window(self, name):
        found = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", f"^{name}$").split(),
                         f"the X window of {name!r}")
        return found[0]

    def focus_panel(self):
        xdotool("windowfocus", "--sync", self.x_window(PANEL_CAPTION.replace(".", r"\.")))

    def replace_port_text(self, text):
        """Clicks into the port box, selects its text and types over it."""
        self.click_control(IDC_PORT)
        self.focus_panel()
        xdotool("key", "End", "shift+Home")
        if text:
            xdotool("type", "--delay", 60, text)
        else:
            xdotool("key", "BackSpace")

    def other_windows(self):
        """The panel's visible dialogs besides itself: message boxes and the
        About box (a tooltip may come and go and does not count)."""
        return [w for w in top_windows() or []
                if w.cls == "#32770" and w.text != PANEL_CAPTION]

    def wait_message_box(self):
        return wait_for(lambda: next((w for w in self.other_windows() if w.is_message_box()), None),
                        "a message box")

    def answer(self, window):
        """Presses the window's OK button with the mouse."""
        click(*centre(window.children[IDOK].rect))
        wait_for(lambda: not self.other_windows(), "the window to close")

    def assert_message_box(self, box, text, icon):
        self.assertEqual(box.text, APP_TITLE, "message box caption")
        self.assertEqual(box.message(), text)
        self.assertEqual(box.has_icon(), icon, "message box icon")

    def connect(self):
        """Connect, check the success message, answer it and return."""
        self.click_control(IDC_CONNECT)
        box = self.wait_message_box()
        self.assert_message_box(box, "建立连接成功", icon=False)
        self.answer(box)

    def colour_problems(self, expected):
        """Compares a fresh screenshot with {button id: (face, text)}."""
        controls = self.controls()
        shot = Screenshot(self.directory)
        problems = {}
        for control_id, (face, text) in expected.items():
            problem = button_colour_problem(shot, controls[control_id].rect, face, text)
            if problem:
                problems[control_id] = problem
        return problems

    def wait_colours(self, expected):
        problems = {}

        def all_match():
            problems.clear()
            problems.update(self.colour_problems(expected))
            return not problems

        try:
            wait_for(all_match, "the button colours", interval=0.3)
        except AssertionError:
            self.fail(f"button colours wrong: {problems}")

    def assert_colours_now(self, expected):
        self.assertEqual(self.colour_problems(expected), {}, "button colours changed")

    def wait_exit(self):
        try:
            self.panel.wait(30)
        except subprocess.TimeoutExpired:
            self.fail("the panel did not end")


def colours_for(on_channels):
    """Channel buttons green/magenta when on, red/cyan when off; all-on and
    all-off always white with black text."""
    expected = {IDC_CHANNEL[n]: ((GREEN, MAGENTA) if n in on_channels else (RED, CYAN))
                for n in range(1, 17)}
    expected[IDC_ALL_ON] = expected[IDC_ALL_OFF] = (WHITE, BLACK)
    return expected


START_COLOURS = {**{IDC_CHANNEL[n]: (YELLOW, BLUE) for n in range(1, 17)},
                 IDC_ALL_ON: (WHITE, BLACK), IDC_ALL_OFF: (WHITE, BLACK)}


# --- the cases ------------------------------------------------------------

class StartUpTest(PanelTestCase):

    def test_defaults_without_settings_file(self):
        # No settings file: the default address is not loopback, so nothing
        # here may press Connect. The board only shows that nothing arrived.
        board = self.start_board()
        controls = self.start_panel().children
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
        self.assertFalse(os.path.exists(self.ini), "the panel wrote a settings file")

    def test_settings_file_gives_address_port_and_captions(self):
        captions = {1: "水泵 A", 3: "照明（东）", 9: "Fan #9", 16: "第十六路·备用",
                    17: "全部开", 18: ""}
        # A port above 10000 from the file is shown as it is.
        settings = settings_file(12345, captions=captions)
        controls = self.start_panel(settings).children
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
                (w for w in self.other_windows() if w.text == ABOUT_CAPTION), None),
                f"the About box after WM_SYSCOMMAND {command}")
            self.assertEqual(about_box.children[IDOK].text, "确定")
            self.answer(about_box)
        self.assertIsNone(self.panel.poll(), "the panel ended with the About box")

    def test_escape_ends_the_program(self):
        self.start_panel(settings_file(closed_port()))
        self.focus_panel()
        xdotool("key", "Escape")
        self.wait_exit()

    def test_close_box_ends_the_program(self):
        self.start_panel(settings_file(closed_port()))
        status, output = probe("closebox")
        self.assertEqual(status, 0, "probe closebox")
        click(*map(int, output.split()[1:3]))
        self.wait_exit()


class ConnectionTest(PanelTestCase):

    def test_connect_status_colours_and_commands(self):
        board = self.start_board("--channels", "0x8005")
        self.start_panel(settings_file(board.port))
        self.click_control(IDC_CONNECT)
        box = self.wait_message_box()
        self.assert_message_box(box, "建立连接成功", icon=False)
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
        wait_for(lambda: board.commands() == [channel_frame(0x11, 3)], "channel 3 off")
        self.wait_colours(colours_for({1, 16}))
        self.click_control(IDC_CHANNEL[2])
        wait_for(lambda: len(board.commands()) == 2, "channel 2 command")
        self.assertEqual(board.commands()[1], channel_frame(0x12, 2))
        self.wait_colours(colours_for({1, 2, 16}))

        # All on and all off send fixed frames whatever the states are, and
        # their own buttons stay white.
        for button, frame, on in ((IDC_ALL_ON, ALL_ON, range(1, 17)),
                                  (IDC_ALL_OFF, ALL_OFF, ()),
                                  (IDC_ALL_OFF, ALL_OFF, ()),
                                  (IDC_ALL_ON, ALL_ON, range(1, 17))):
            sent = len(board.commands())
            self.click_control(button)
            wait_for(lambda: len(board.commands()) > sent, "the all-channels frame")
            self.assertEqual(board.commands()[sent], frame)
            self.wait_colours(colours_for(set(on)))
        self.assertEqual(self.other_windows(), [], "unexpected window")

    def test_silent_board_first_click_polling_and_refresh(self):
        board = self.start_board("--silent")
        self.start_panel(settings_file(board.port))
        self.connect()
        self.assertEqual(board.wait_frames(1, "the first query")[0], QUERY)

        # No status yet: the channel's state is unknown, so a click switches off.
        self.click_control(IDC_CHANNEL[5])
        wait_for(lambda: board.commands() == [bytes.fromhex("55 01 11 00 00 00 05 6C")],
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
        wait_for(lambda: len(board.commands()) == 2, "channel 7 command")
        self.click_control(IDC_REFRESH, repeat=6)
        self.click_control(IDC_CHANNEL[8])
        wait_for(lambda: len(board.commands()) == 3, "channel 8 command")
        frames = board.frames()
        first = frames.index(channel_frame(0x11, 7))
        last = frames.index(channel_frame(0x11, 8))
        self.assertGreaterEqual(frames[first + 1:last].count(QUERY), 6)
        self.assert_colours_now(START_COLOURS)

    def test_bad_checksum_reply_changes_nothing(self):
        board = self.start_board("--channels", "0x8005", "--corrupt-every", "1")
        self.start_panel(settings_file(board.port))
        self.connect()
        # The log line of a query is written after its (corrupted) answer went out.
        board.wait_frames(3, "three answered queries")
        self.assert_colours_now(START_COLOURS)
        self.assertEqual(self.other_windows(), [])

    def test_board_closing_the_link_keeps_colours_without_message(self):
        board = self.start_board("--channels", "0x8005", "--close-after", "1")
        self.start_panel(settings_file(board.port))
        self.connect()
        self.wait_colours(colours_for({1, 3, 16}))
        # Queries go on into the closed link; watch for a message or a change.
        time.sleep(2)
        self.assertEqual(self.other_windows(), [], "a window appeared")
        self.assert_colours_now(colours_for({1, 3, 16}))
        self.assertEqual(board.frames(), [QUERY])

    def test_connect_to_closed_port_shows_failure(self):
        self.start_panel(settings_file(closed_port()))
        self.click_control(IDC_CONNECT)
        box = self.wait_message_box()
        self.assert_message_box(box, "建立连接失败", icon=False)
        self.answer(box)
        self.assertIsNone(self.panel.poll())


class SettingsTest(PanelTestCase):

    def test_unchanged_address_and_port_leave_file_untouched(self):
        board = self.start_board()
        # Written in forms that read as the board's address and port but that
        # any write of either key would change.
        settings = settings_file(f"0{board.port}", ip='"127.0.0.1"', captions={2: "阀门"})
        self.start_panel(settings)
        old = 1_500_000_000_000_000_000
        os.utime(self.ini, ns=(old, old))
        self.connect()
        board.wait_frames(1, "the first query")
        with open(self.ini, "rb") as f:
            self.assertEqual(f.read(), settings)
        self.assertEqual(os.stat(self.ini).st_mtime_ns, old)

    def test_changed_port_rewrites_both_keys(self):
        board = self.start_board(editable_port=True)
        # The quoted address reads as 127.0.0.1; only a write of the key
        # removes the quotes.
        self.start_panel(settings_file(closed_port(), ip='"127.0.0.1"'))
        self.replace_port_text(str(board.port))
        wait_for(lambda: self.controls()[IDC_PORT].raw == str(board.port).encode(),
                 "the typed port")
        self.connect()
        board.wait_frames(1, "the first query")
        with open(self.ini, "rb") as f:
            lines = f.read().decode("gbk").split()
        self.assertIn(f"socket_port={board.port}", lines)
        self.assertIn("socket_ip=127.0.0.1", lines)

    def test_port_box_refuses_empty_and_out_of_range(self):
        board = self.start_board(editable_port=True)
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
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kestrel", required=True, help="kestrel.exe")
    parser.add_argument("--probe", required=True, help="probe.exe")
    parser.add_argument("--boardsim", required=True,
                        help="the native boardsim (the BOARDSIM environment variable wins)")
    args, rest = parser.parse_known_args()
    # The panel runs in its own directory: absolute paths only.
    PATHS.kestrel, PATHS.probe = os.path.abspath(args.kestrel), os.path.abspath(args.probe)
    PATHS.boardsim = os.path.abspath(os.environ.get("BOARDSIM") or args.boardsim)

    missing = [p for p in (PATHS.kestrel, PATHS.probe, PATHS.boardsim, IMPORT, CONVERT)
               if not os.access(p, os.X_OK)]
    if not os.environ.get("DISPLAY"):
        missing.append("DISPLAY")
    for tool in ("wine", "xdotool"):
        if run("which", tool).returncode != 0:
            missing.append(tool)
    if missing:
        sys.exit(f"e2e: cannot run, missing: {', '.join(missing)}")
    if run("xdotool", "getdisplaygeometry").returncode != 0:
        sys.exit(f"e2e: no X display at {os.environ['DISPLAY']}")
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
