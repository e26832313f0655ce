"""Running the real panel under wine, for the end-to-end tests, the reliability suite
and the benchmarks.

The panel runs in a temporary directory of its own, with a canshu.ini written before
it starts, against boards on 127.0.0.1 only. panelprobe.exe (probe.cpp beside this
file) reads and drives its windows from outside; xdotool gives real X input;
ImageMagick's import gives the screen's pixels; /proc of the wine process gives its
threads, sockets and memory.

Needs DISPLAY and a running wine server (scripts/env.sh provides both).
"""

import argparse
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

PANEL_CAPTION = "Kestrel V1.35"
CONNECTED = "建立连接成功"
IMPORT = "/usr/bin/import"
CONVERT = "/usr/bin/convert"
TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")

IDOK = 1
IDC_IP, IDC_PORT = 1000, 1001
# The 18 buttons: 1-16 switch one channel, 17 switches all on, 18 all off.
IDC_BUTTON = {n: 1002 + n for n in range(1, 19)}
IDC_CHANNEL = {n: IDC_BUTTON[n] for n in range(1, 17)}
IDC_ALL_ON, IDC_ALL_OFF = IDC_BUTTON[17], IDC_BUTTON[18]
IDC_CONNECT, IDC_REFRESH = 1022, 1028
MESSAGE_TEXT_ID = 0xFFFF  # the static that holds a message box's text
PANEL_CONTROLS = {IDC_IP, IDC_PORT, *IDC_BUTTON.values(), IDC_CONNECT, IDC_REFRESH}

YELLOW, BLUE = (255, 255, 0), (0, 0, 255)
WHITE, BLACK = (255, 255, 255), (0, 0, 0)
GREEN, MAGENTA = (0, 255, 0), (255, 0, 255)
RED, CYAN = (255, 0, 0), (0, 255, 255)

# Before any status: channel buttons yellow with blue text; all-on and all-off are
# always white with black text.
START_COLOURS = {**{IDC_CHANNEL[n]: (YELLOW, BLUE) for n in range(1, 17)},
                 IDC_ALL_ON: (WHITE, BLACK), IDC_ALL_OFF: (WHITE, BLACK)}

# Where the mouse rests between actions: off the panel, so no button is hot and
# no tooltip covers a button.
MOUSE_REST = (1200, 1000)


class Paths:
    """The programs of the run, absolute (the panel runs in a directory of its own)."""
    kestrel = probe = boardsim = None


def colours_for(on_channels):
    """{button id: (face, text)} as a status with these channels on shows them:
    green/magenta on, red/cyan off."""
    expected = {IDC_CHANNEL[n]: ((GREEN, MAGENTA) if n in on_channels else (RED, CYAN))
                for n in range(1, 17)}
    expected[IDC_ALL_ON] = expected[IDC_ALL_OFF] = (WHITE, BLACK)
    return expected


def frame(command, value):
    """The 8-byte frame 55 01 COMMAND with value in bytes 3-6 (big-endian) and the
    checksum: frame(0x10, channels) is a status, frame(0x11, n) switches n off."""
    body = bytes([0x55, 0x01, command]) + value.to_bytes(4, "big")
    return body + bytes([sum(body) % 256])


def settings_file(port, ip="127.0.0.1", captions=None):
    """canshu.ini with the address, the port and button captions {n: text}."""
    lines = ["[canshu_v2]", f"socket_port={port}", f"socket_ip={ip}"]
    if captions:
        lines.append("[canshu]")
        lines += [f"按钮名称{n}={text}" for n, text in captions.items()]
    return ("\r\n".join(lines) + "\r\n").encode("gbk")


def wine_env():
    return dict(os.environ, LC_ALL="zh_CN.GBK", WINEDEBUG="-all")


def run(*command, timeout=60):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                          env=wine_env(), timeout=timeout, check=False)


def wait_for(condition, what, timeout=30.0, interval=0.1):
    """Polls condition until it returns something true, and returns that; raises
    AssertionError after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def unhex(field):
    return b"" if field == "-" else bytes.fromhex(field)


def gbk(data):
    return data.decode("gbk", errors="replace")


# --- panelprobe.exe ----------------------------------------------------------

def probe(*args, timeout=120):
    """Runs panelprobe.exe; its exit status (2: no panel) and its output."""
    result = run("wine", Paths.probe, *map(str, args), timeout=timeout)
    return result.returncode, result.stdout.decode("ascii", errors="replace")


def probe_count(command):
    """The number a counting command of panelprobe.exe prints ("<command> <n>")."""
    status, output = probe(command)
    if status != 0:
        raise AssertionError(f"panelprobe {command}: exit {status}")
    return int(output.split()[1])


def start_probe(*args, stdin=subprocess.DEVNULL):
    """panelprobe.exe running beside the caller, its output on a pipe."""
    return subprocess.Popen(["wine", Paths.probe, *map(str, args)], stdin=stdin,
                            stdout=subprocess.PIPE, env=wine_env())


class Control:
    """A 'child' line of panelprobe dump."""

    def __init__(self, fields):
        self.id = int(fields[1])
        self.visible = fields[3] == "1"
        self.rect = tuple(int(v) for v in fields[4:8])
        self.raw = unhex(fields[8])
        self.text = gbk(self.raw)
        self.has_icon = fields[9] == "1"


class TopWindow:
    """A 'window' line of panelprobe dump, with its children by id."""

    def __init__(self, fields):
        self.cls = fields[2]
        self.text = gbk(unhex(fields[7]))
        self.children = {}

    def __repr__(self):
        return f"<{self.cls} {self.text!r}>"

    def is_message_box(self):
        return self.cls == "#32770" and MESSAGE_TEXT_ID in self.children

    def message(self):
        return self.children[MESSAGE_TEXT_ID].text

    def has_icon(self):
        return any(c.has_icon for c in self.children.values())


def top_windows():
    """The visible windows of the panel's process, or None without a panel."""
    status, output = probe("dump")
    if status == 2:
        return None
    if status != 0:
        raise AssertionError(f"panelprobe dump failed with status {status}")
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


def other_windows():
    """The panel's visible dialogs besides itself: message boxes and the About box
    (a tooltip may come and go and does not count)."""
    return [w for w in top_windows() or [] if w.cls == "#32770" and w.text != PANEL_CAPTION]


def message_box():
    return next((w for w in other_windows() if w.is_message_box()), None)


# --- X input and screenshots ---------------------------------------------------

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


def focus_panel():
    name = "^" + PANEL_CAPTION.replace(".", r"\.") + "$"
    found = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", name).split(),
                     "the panel's X window")
    xdotool("windowfocus", "--sync", found[0])


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


# --- boardsim and the panel ------------------------------------------------------

class BoardsimDidNotStart(AssertionError):
    pass


class Boardsim:
    """boardsim on 127.0.0.1, on a port the system picks (0) or the one given, with
    its frame log in directory."""

    def __init__(self, directory, *options, port=0):
        self.log = os.path.join(directory, f"boardsim-{time.monotonic_ns()}.log")
        self.process = subprocess.Popen(
            [Paths.boardsim, "--port", str(port), "--log", self.log, *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = b""
        deadline = time.monotonic() + 10
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([self.process.stdout], [], [], 0.2)
            if ready:
                chunk = os.read(self.process.stdout.fileno(), 64)
                if not chunk:
                    break
                line += chunk
        if not line.startswith(b"port "):
            self.stop()
            raise BoardsimDidNotStart(f"boardsim did not start on port {port}")
        self.port = int(line.split()[1])

    def frames(self):
        """The frames received so far, in arrival order."""
        if not os.path.exists(self.log):
            return []
        # Lines look like "<time> 55 01 10 00 00 00 00 66"; a line still being
        # written has no newline yet.
        with open(self.log, encoding="ascii") as log:
            return [bytes.fromhex(" ".join(line.split()[1:9])) for line in log
                    if line.endswith("\n")]

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


def cpu_seconds(pid):
    """User plus system time of a process so far."""
    with open(f"/proc/{pid}/stat", encoding="ascii") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_SECOND


class Panel:
    """kestrel.exe in a temporary directory of its own. settings, when given, is
    written there as canshu.ini before the panel starts; prepare(directory) may
    change the directory after that."""

    def __init__(self, settings=None, prepare=None):
        if not panel_is_gone():
            raise AssertionError("a Kestrel panel is already running")
        self.directory = tempfile.mkdtemp(prefix="kestrel-panel-")
        self.ini = os.path.join(self.directory, "canshu.ini")
        if settings is not None:
            with open(self.ini, "wb") as f:
                f.write(settings)
        if prepare:
            prepare(self.directory)
        self.process = subprocess.Popen(
            ["wine", Paths.kestrel], cwd=self.directory, env=wine_env(),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = self.process.pid

    def wait_shown(self):
        """Until the panel and all its controls are visible."""
        def ready():
            panel = panel_window(top_windows())
            shown = {i for i, c in panel.children.items() if c.visible} if panel else set()
            return PANEL_CONTROLS <= shown

        wait_for(ready, "the panel window", timeout=60)

    def controls(self):
        """The panel's controls by id, from a fresh dump."""
        return wait_for(lambda: panel_window(top_windows()), "the panel").children

    def alive(self):
        return self.process.poll() is None

    def connect(self):
        """Presses Connect (panelprobe refuses unless the address box reads 127.0.0.1)
        and answers the message with OK; returns the message's text."""
        status, _ = probe("connect")
        if status != 0:
            raise AssertionError(f"panelprobe connect: status {status}")
        box = wait_for(message_box, "the message after Connect")
        if probe("answer")[0] != 0:
            raise AssertionError("could not answer the message")
        return box.message()

    def threads(self):
        """The panel's own threads (wine's helpers in its process do not count)."""
        return probe_count("threads")

    def sockets(self):
        fd = f"/proc/{self.pid}/fd"
        count = 0
        for name in os.listdir(fd):
            try:
                count += os.readlink(os.path.join(fd, name)).startswith("socket:")
            except FileNotFoundError:
                pass
        return count

    def memory_kb(self, key):
        with open(f"/proc/{self.pid}/status", encoding="ascii", errors="replace") as status:
            for line in status:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
        raise AssertionError(f"no {key} in /proc/{self.pid}/status")

    def stop(self):
        if self.alive():
            self.process.kill()
            self.process.wait(30)
        wait_for(panel_is_gone, "the panel's windows to go")
        shutil.rmtree(self.directory, ignore_errors=True)


class PanelTestCase(unittest.TestCase):
    """A case with a directory of its own for boards' logs and screenshots; ends
    every board and panel it started."""

    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="kestrel-case-")
        self.addCleanup(shutil.rmtree, self.directory, ignore_errors=True)
        self.panel = None

    def start_board(self, *options, port=0):
        board = Boardsim(self.directory, *options, port=port)
        self.addCleanup(board.stop)
        return board

    def start_panel(self, settings=None, prepare=None):
        self.panel = Panel(settings, prepare)
        self.addCleanup(self.panel.stop)
        self.panel.wait_shown()
        return self.panel

    def colour_problems(self, expected):
        """Compares a fresh screenshot with {button id: (face, text)}."""
        controls = self.panel.controls()
        shot = Screenshot(self.directory)
        problems = {}
        for control_id, (face, text) in expected.items():
            problem = button_colour_problem(shot, controls[control_id].rect, face, text)
            if problem:
                problems[control_id] = problem
        return problems

    def wait_colours(self, expected, timeout=30):
        problems = {}

        def all_match():
            problems.clear()
            problems.update(self.colour_problems(expected))
            return not problems

        try:
            wait_for(all_match, "the button colours", timeout=timeout, interval=0.3)
        except AssertionError:
            self.fail(f"button colours wrong: {problems}")

    def assert_colours_now(self, expected):
        self.assertEqual(self.colour_problems(expected), {}, "button colours changed")


# --- command line -----------------------------------------------------------------

def argument_parser(description):
    """The options of every suite; a suite adds its own."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--kestrel", required=True, help="kestrel.exe")
    parser.add_argument("--probe", required=True, help="panelprobe.exe")
    parser.add_argument("--boardsim", required=True,
                        help="the native boardsim (the BOARDSIM environment variable wins)")
    return parser


def run_suite(suite, args, rest):
    """Takes the programs from args, stops the run when anything it needs is missing,
    then runs the cases of the calling module (rest: unittest's arguments)."""
    Paths.kestrel, Paths.probe = os.path.abspath(args.kestrel), os.path.abspath(args.probe)
    Paths.boardsim = os.path.abspath(os.environ.get("BOARDSIM") or args.boardsim)
    missing = [p for p in (Paths.kestrel, Paths.probe, Paths.boardsim,
                           IMPORT, CONVERT) if not os.access(p, os.X_OK)]
    if not os.environ.get("DISPLAY"):
        missing.append("DISPLAY")
    missing += [tool for tool in ("wine", "xdotool") if shutil.which(tool) is None]
    if missing:
        sys.exit(f"{suite}: cannot run, missing: {', '.join(missing)}")
    if run("xdotool", "getdisplaygeometry").returncode != 0:
        sys.exit(f"{suite}: no X display at {os.environ['DISPLAY']}")
    unittest.main(module="__main__", argv=[sys.argv[0], *rest], verbosity=2)
