"""Runs the real kestrel.exe under wine against boardsim on 127.0.0.1, for the
whole-program tests and the benchmarks: real X input (xdotool), the screen's pixels
(ImageMagick's import), the dialogs' texts and rectangles (panelprobe.exe) and the
frames the board received (its log). Needs DISPLAY and a running wine server
(scripts/env.sh provides both).
"""

import collections
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

with open(os.path.join(os.path.dirname(__file__), "..", "..", "res", "resource.h"),
          encoding="ascii") as header:
    ID = {name: int(value, 0) for name, value in re.findall(r"#define (\w+) (\w+)", header.read())}
BUTTON = {n: ID[f"IDC_CHANNEL{n}"] for n in range(1, 17)} | {17: ID["IDC_ALL_ON"],
                                                              18: ID["IDC_ALL_OFF"]}
IDOK, MESSAGE_TEXT = 1, 0xFFFF
PANEL, MESSAGE_BOX = "Kestrel V1.35", "kestrel"
QUERY = bytes.fromhex("55 01 10 00 00 00 00 66")
MOUSE_REST = (1200, 1000)  # off the panel: no button hot, no tooltip over a button
Control = collections.namedtuple("Control", "rect text")


class Paths:
    """The programs, absolute (the panel runs in a directory of its own)."""
    kestrel = probe = boardsim = None


def frame(command, value):
    """55 01 COMMAND, value in bytes 3-6 (most significant first), checksum."""
    body = bytes([0x55, 0x01, command]) + value.to_bytes(4, "big")
    return body + bytes([sum(body) % 256])


def settings_file(port, captions=None):
    """canshu.ini for a board on 127.0.0.1:port, with button captions {n: text}."""
    lines = ["[canshu_v2]", f"socket_port={port}", "socket_ip=127.0.0.1", "[canshu]"]
    lines += [f"按钮名称{n}={text}" for n, text in (captions or {}).items()]
    return ("\r\n".join(lines) + "\r\n").encode("gbk")


def run(*command, timeout=120):
    """In the Chinese locale, so wine programs take GBK as their ANSI code page."""
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, check=False,
                          env=dict(os.environ, LC_ALL="zh_CN.GBK"), timeout=timeout)


def wait_for(condition, what, timeout=120.0, interval=0.1):
    """Polls condition until it gives something true and returns that."""
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)
    return value


def dialogs():
    """{caption: {control id: Control}} of the visible dialogs; none when the probe
    is stuck (wine can hang it on a window being created; the next one works)."""
    try:
        output = run("wine", Paths.probe, timeout=30).stdout.decode("ascii")
    except subprocess.TimeoutExpired:
        return {}
    found = {}
    for line in output.splitlines():
        head, *rect, text = line.split()
        text = "" if text == "-" else bytes.fromhex(text).decode("gbk", "replace")
        if head == "window":
            controls = found[text] = {}
        else:
            controls[int(head)] = Control(tuple(map(int, rect)), text)
    return found


def xdotool(*args):
    result = run("xdotool", *map(str, args))
    if result.returncode != 0:
        raise AssertionError(f"xdotool {args}: {result.stderr.decode()}")
    return result.stdout.decode()


def click(control):
    left, top, right, bottom = control.rect
    xdotool("mousemove", "--sync", (left + right) // 2, (top + bottom) // 2, "click", 1,
            "mousemove", "--sync", *MOUSE_REST)


def x_window():
    return wait_for(lambda: run("xdotool", "search", "--onlyvisible", "--name",
                                r"^Kestrel V1\.35$").stdout.split(), "the panel's X window")[0].decode()


def keys(*names):
    """Types into the panel's X window."""
    xdotool("windowfocus", "--sync", x_window(), "key", *names)


def screen():
    """The screen as (width, RGB bytes row by row)."""
    _, size, _, pixels = run("import", "-window", "root", "-depth", "8", "ppm:-").stdout.split(b"\n", 3)
    return int(size.split()[0]), pixels


class Boardsim:
    """boardsim on a free loopback port, its frame log in directory."""

    def __init__(self, directory, *options):
        self.log = os.path.join(directory, f"boardsim-{time.monotonic_ns()}.log")
        self.process = subprocess.Popen([Paths.boardsim, "--port", "0", "--log", self.log,
                                         *options], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = self.process.stdout.readline()
        if not line.startswith(b"port "):
            self.stop()
            raise AssertionError(f"boardsim did not start: {line!r}")
        self.port = int(line.split()[1])

    def frames(self):
        """The frames received so far, in order (a line still being written has no newline)."""
        with open(self.log, encoding="ascii") as log:
            return [bytes.fromhex("".join(line.split()[1:9])) for line in log if line[-1] == "\n"]

    def wait_frames(self, count, what):
        return wait_for(lambda: len(frames := self.frames()) >= count and frames, what)

    def stop(self):
        self.process.terminate()
        self.process.wait(30)
        self.process.stdout.close()


class Panel:
    """kestrel.exe in a temporary directory of its own, with settings written there as
    canshu.ini before it starts."""

    def __init__(self, settings):
        self.directory = tempfile.mkdtemp(prefix="kestrel-panel-")
        with open(os.path.join(self.directory, "canshu.ini"), "wb") as ini:
            ini.write(settings)
        self.process = subprocess.Popen(["wine", Paths.kestrel], cwd=self.directory,
                                        env=dict(os.environ, LC_ALL="zh_CN.GBK"),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.pid = self.process.pid

    def controls(self, caption=PANEL, *needed):
        """The controls of the dialog with this caption, once it shows the needed ones."""
        return wait_for(lambda: (found := dialogs().get(caption)) and set(needed) <= found.keys()
                        and found, f"{caption} with controls {needed}")

    def wait_shown(self):
        x_window()  # a probe started while the panel creates its window may hang
        self.controls(PANEL, ID["IDC_IP"], ID["IDC_PORT"], ID["IDC_CONNECT"],
                      ID["IDC_REFRESH"], *BUTTON.values())

    def close(self, caption):
        """Presses OK in the dialog with this caption and waits until it has gone."""
        click(self.controls(caption, IDOK)[IDOK])
        wait_for(lambda: caption not in dialogs(), f"{caption} to close")

    def connect(self):
        """Presses Connect while the address box reads 127.0.0.1 (nothing else may be
        dialled) and answers the message box; returns its text."""
        controls = self.controls()
        if controls[ID["IDC_IP"]].text != "127.0.0.1":
            raise AssertionError(f"Connect refused: the address box reads {controls[ID['IDC_IP']]}")
        click(controls[ID["IDC_CONNECT"]])
        text = self.controls(MESSAGE_BOX, MESSAGE_TEXT)[MESSAGE_TEXT].text
        self.close(MESSAGE_BOX)
        return text

    def memory_kb(self, key):
        with open(f"/proc/{self.pid}/status", encoding="ascii", errors="replace") as status:
            return int(next(line for line in status if line.startswith(key + ":")).split()[1])

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(60)
        wait_for(lambda: PANEL not in dialogs(), "the panel's windows to go")
        shutil.rmtree(self.directory, ignore_errors=True)


class PanelTestCase(unittest.TestCase):
    """A directory of the case's own; every board and panel it starts is ended."""

    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="kestrel-case-")
        self.addCleanup(shutil.rmtree, self.directory, ignore_errors=True)

    def start_board(self, *options):
        board = Boardsim(self.directory, *options)
        self.addCleanup(board.stop)
        return board

    def start_panel(self, settings):
        self.panel = Panel(settings)
        self.addCleanup(self.panel.stop)
        self.panel.wait_shown()
        return self.panel
