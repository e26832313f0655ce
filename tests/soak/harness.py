"""Running the real panel under wine for the reliability suite and the benchmarks.

The panel runs in its own temporary directory with a canshu.ini that points at a
board on 127.0.0.1; soak_probe.exe reads and drives it from outside; /proc of the
wine process gives its threads, sockets, memory and CPU time.
"""

import fcntl
import os
import select
import socket
import subprocess
import tempfile
import termios
import time

PANEL_CAPTION = "Kestrel V1.35"
IMPORT = "/usr/bin/import"
CONVERT = "/usr/bin/convert"
TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")

CONNECTED = "建立连接成功"
GREEN, MAGENTA = (0, 255, 0), (255, 0, 255)
RED, CYAN = (255, 0, 0), (0, 255, 255)
YELLOW, BLUE = (255, 255, 0), (0, 0, 255)


class Paths:
    kestrel = probe = boardsim = replay = None


def wine_env():
    env = dict(os.environ)
    env["LC_ALL"] = "zh_CN.GBK"
    env["WINEDEBUG"] = "-all"
    return env


def run(*command, timeout=60, stdin=subprocess.DEVNULL):
    return subprocess.run(command, stdin=stdin, capture_output=True, env=wine_env(),
                          timeout=timeout, check=False)


def wait_for(condition, what, timeout=30.0, interval=0.1):
    """Polls condition until it returns something true; raises after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def probe(*args, timeout=120):
    result = run("wine", Paths.probe, *map(str, args), timeout=timeout)
    return result.returncode, result.stdout.decode("ascii", errors="replace")


def unhex(field):
    return b"" if field == "-" else bytes.fromhex(field)


def settings_file(port, ip="127.0.0.1"):
    return f"[canshu_v2]\r\nsocket_port={port}\r\nsocket_ip={ip}\r\n".encode("ascii")


def status_frame(channels):
    """A status frame with channel n on where bit n-1 of channels is set."""
    frame = bytes([0x55, 0x01, 0x10, 0, 0, (channels >> 8) & 0xFF, channels & 0xFF])
    return frame + bytes([sum(frame) % 256])


def colours_for(channels):
    """Channel number -> (face, text) as a status with these bits shows it."""
    return {n: (GREEN, MAGENTA) if channels >> (n - 1) & 1 else (RED, CYAN)
            for n in range(1, 17)}


class Boardsim:
    """boardsim on a port the system picks (0) or the one given."""

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
            raise AssertionError(f"boardsim did not start on port {port}")
        self.port = int(line.split()[1])

    def frames(self):
        with open(self.log, encoding="ascii") as log:
            return len(log.readlines())

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        self.process.stdout.close()


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


class Panel:
    """kestrel.exe (or another program given) in a temporary directory of its own."""

    def __init__(self, settings=None, exe=None, prepare=None):
        self.directory = tempfile.mkdtemp(prefix="kestrel-soak-")
        if settings is not None:
            with open(os.path.join(self.directory, "canshu.ini"), "wb") as f:
                f.write(settings)
        if prepare:
            prepare(self.directory)
        if probe("texts")[0] != 2:
            raise AssertionError("a Kestrel panel is already running")
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            ["wine", exe or Paths.kestrel], cwd=self.directory, env=wine_env(),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = self.process.pid

    def wait_shown(self):
        return wait_for(lambda: self.texts(), "the panel window", timeout=60)

    def texts(self):
        """{'ip': bytes, 'port': bytes, n: (rect, caption bytes)} or None without a panel."""
        status, output = probe("texts")
        if status != 0:
            return None
        texts = {}
        for line in output.splitlines():
            fields = line.split()
            if fields[0] in ("ip", "port"):
                texts[fields[0]] = unhex(fields[1])
            elif fields[0] == "button":
                texts[int(fields[1])] = (tuple(map(int, fields[2:6])), unhex(fields[6]))
        return texts

    def alive(self):
        return self.process.poll() is None

    def connect(self):
        """Presses Connect and answers the message; returns its text."""
        status, _ = probe("connect")
        if status != 0:
            raise AssertionError(f"soak_probe connect: status {status}")
        box = wait_for(lambda: probe("boxes")[1].split(), "the message after Connect")
        if probe("answer")[0] != 0:
            raise AssertionError("could not answer the message")
        return unhex(box[2]).decode("gbk")

    def proc(self, name):
        with open(f"/proc/{self.pid}/{name}", encoding="ascii", errors="replace") as f:
            return f.read()

    def threads(self):
        return len(os.listdir(f"/proc/{self.pid}/task"))

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
        for line in self.proc("status").splitlines():
            if line.startswith(key + ":"):
                return int(line.split()[1])
        raise AssertionError(f"no {key} in /proc/{self.pid}/status")

    def cpu_seconds(self):
        return cpu_seconds(self.pid)

    def stop(self):
        if self.alive():
            self.process.kill()
            self.process.wait(30)
        wait_for(lambda: probe("texts")[0] == 2, "the panel's windows to go")
        subprocess.run(["rm", "-rf", self.directory], check=False)


def cpu_seconds(pid):
    """User plus system time of a process so far."""
    with open(f"/proc/{pid}/stat", encoding="ascii") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_SECOND


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


def colour_problems(panel, expected):
    """Buttons whose face (four points clear of edges and caption) or caption (some
    pixels of the text colour) differ from expected {n: (face, text)}."""
    texts = panel.texts()
    shot = Screenshot(panel.directory)
    problems = {}
    for n, (face, text) in expected.items():
        left, top, right, bottom = texts[n][0]
        width, height = right - left, bottom - top
        faces = [shot.pixel(x, y)
                 for x in (left + width * 12 // 100, right - 1 - width * 12 // 100)
                 for y in (top + height * 30 // 100, top + height * 70 // 100)]
        caption = [shot.pixel(x, y)
                   for x in range(left + width // 5, right - width // 5)
                   for y in range(top + height // 4, bottom - height // 4)]
        if any(p != face for p in faces) or caption.count(text) < 10:
            problems[n] = f"faces {faces}, {caption.count(text)} caption pixels of {text}"
    return problems


def wait_colours(panel, expected, timeout=30):
    problems = {}

    def right():
        problems.clear()
        problems.update(colour_problems(panel, expected))
        return not problems

    try:
        wait_for(right, "the button colours", timeout=timeout, interval=0.5)
    except AssertionError as error:
        raise AssertionError(f"button colours wrong: {problems}") from error
