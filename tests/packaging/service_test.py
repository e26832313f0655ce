#!/usr/bin/env python3
"""The amd64 package under real systemd. A minimal Debian 12 root made by debootstrap
(cached under the build tree, keyed by what it is made of) is copied afresh, booted with
systemd-nspawn, and the .deb is installed in it with apt as the README says. The container
shares the host's network: the hub inside reaches a boardsim and a mosquitto broker on the
host's loopback, and the host reaches the hub. Commands run inside through nsenter into
the container's namespaces (an unregistered container has no machine for systemd-run -M).
The container is powered off (killed if it will not go) and removed in every case."""

import argparse
import hashlib
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "panelprobe"))
sys.path.insert(0, os.path.join(HERE, "..", "relayhub"))
from panel_driver import Boardsim, Paths, frame, wait_for  # noqa: E402
from broker import Broker, free_port  # noqa: E402

SUITE = "bookworm"
INCLUDE = "systemd,systemd-sysv,dbus"
MIRROR = "http://deb.debian.org/debian"
UNIT = "relayhub@bench.service"
DYNAMIC_USERS = range(61184, 65520)  # systemd's range for DynamicUser=
MAX_EXPOSURE = 2.0


def run(command, what, timeout=60, check=True):
    try:
        result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                                text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"{what} did not finish within {timeout} s") from None
    if check and result.returncode != 0:
        raise AssertionError(f"{what} failed ({result.returncode}): {result.stdout}{result.stderr}")
    return result


def cached_root(cache):
    """The debootstrapped root, made once per package list."""
    key = hashlib.sha256(f"{SUITE} minbase {INCLUDE} {MIRROR}".encode()).hexdigest()[:12]
    root = os.path.join(cache, f"{SUITE}-{key}")
    if not os.path.isdir(root):
        building = root + ".partial"
        shutil.rmtree(building, ignore_errors=True)
        os.makedirs(cache, exist_ok=True)
        run(["debootstrap", "--variant=minbase", f"--include={INCLUDE}", SUITE, building, MIRROR],
            "debootstrap", timeout=600)
        os.rename(building, root)
    return root


class Container:
    """A booted copy of the cached root; inside() runs a command in it."""

    def __init__(self, root, directory):
        self.root = os.path.join(directory, "root")
        shutil.rmtree(self.root, ignore_errors=True)
        run(["cp", "-a", "--reflink=auto", root, self.root], "copying the root", timeout=300)
        self.log = open(os.path.join(directory, "boot.log"), "wb")
        self.process = subprocess.Popen(
            ["systemd-nspawn", "--register=no", "--keep-unit", "-q", "-D", self.root, "-b"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        self.leader = None
        try:
            self.leader = wait_for(self.init_pid, "the container's systemd", timeout=60)
            # Finished starting up; degraded is fine (units a container cannot run). Until
            # its manager listens, systemctl answers nothing.
            wait_for(lambda: self.inside("systemctl", "is-system-running", "--wait",
                                         timeout=120, check=False).stdout.strip()
                     in ("running", "degraded"), "the container's boot", timeout=180, interval=1)
        except BaseException:
            self.stop()
            raise

    def children(self):
        try:
            with open(f"/proc/{self.process.pid}/task/{self.process.pid}/children") as children:
                return [int(pid) for pid in children.read().split()]
        except FileNotFoundError:
            return []

    def init_pid(self):
        """nspawn's child once it is the container's systemd."""
        if self.process.poll() is not None:
            raise AssertionError(f"systemd-nspawn exited with {self.process.returncode}")
        for pid in self.children():
            with open(f"/proc/{pid}/comm") as comm:
                if comm.read().strip() == "systemd":
                    return pid
        return None

    def inside(self, *command, timeout=60, check=True):
        return run(["nsenter", "-t", str(self.leader), "-m", "-u", "-i", "-p", "-r", "-w",
                    *command], " ".join(command), timeout=timeout, check=check)

    def path(self, inside):
        return os.path.join(self.root, inside.lstrip("/"))

    def unit(self, *properties):
        shown = self.inside("systemctl", "show", UNIT, *[f"-p{p}" for p in properties]).stdout
        return dict(line.split("=", 1) for line in shown.splitlines())

    def journal(self):
        return self.inside("journalctl", "-u", UNIT, "-o", "cat", "--no-pager").stdout

    def stop(self):
        """Powers the container off (kills it if it will not go) and removes it."""
        if self.process.poll() is None:
            try:
                if self.leader:
                    self.inside("systemctl", "poweroff", timeout=30, check=False)
                self.process.wait(60)
            except subprocess.TimeoutExpired:
                # Killing the namespace's init ends everything in the container.
                for pid in self.children():
                    os.kill(pid, signal.SIGKILL)
                self.process.kill()
                self.process.wait(30)
        self.log.close()
        shutil.rmtree(self.root, ignore_errors=True)


def accepts(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def web_status(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/status", timeout=10) as answer:
        return json.load(answer)


def check(what, condition, detail=""):
    if not condition:
        raise AssertionError(f"{what}: {detail}")
    print(f"ok: {what}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--deb", required=True)
    parser.add_argument("--relayctl", required=True)
    parser.add_argument("--boardsim", required=True)
    parser.add_argument("--cache", required=True, help="where the debootstrapped root is kept")
    args = parser.parse_args()
    if os.geteuid() != 0:
        raise SystemExit("the service test needs root (debootstrap, systemd-nspawn)")
    if not os.path.isfile(args.deb):
        raise SystemExit(f"{args.deb} is missing: scripts/test.sh builds it "
                         "(cpack --preset release)")
    Paths.boardsim = os.path.abspath(args.boardsim)

    root = cached_root(args.cache)
    directory = os.path.join(args.cache, f"run-{os.getpid()}")
    os.makedirs(directory)
    board = broker = container = None
    try:
        board = Boardsim(directory)
        broker = Broker(directory)
        container = Container(root, directory)
        deb = os.path.basename(args.deb)
        shutil.copy(args.deb, container.path("/root"))
        container.inside("apt-get", "update", "-qq", timeout=300)
        container.inside("env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "install", "-y",
                         "-qq", "--no-install-recommends", f"/root/{deb}", timeout=300)
        print(f"ok: {deb} installed with apt", flush=True)
        check_unit(container)

        hub_port, web_port = free_port(), free_port()
        options = (f"--board 127.0.0.1:{board.port} --listen 127.0.0.1:{hub_port} "
                   f"--mqtt 127.0.0.1:{broker.port} --board-id bench --http 127.0.0.1:{web_port}")
        with open(container.path("/usr/share/doc/kestrel/examples/relayhub.env")) as example:
            env = re.sub(r"^RELAYHUB_OPTIONS=.*$", f"RELAYHUB_OPTIONS={options}", example.read(),
                         flags=re.M)
        os.makedirs(container.path("/etc/kestrel/bench"))
        with open(container.path("/etc/kestrel/relayhub-bench.env"), "w") as file:
            file.write(env)
        shutil.copy(container.path("/usr/share/doc/kestrel/examples/canshu.ini"),
                    container.path("/etc/kestrel/bench/"))

        # Longer than systemd's own start time-out, which says what went wrong.
        container.inside("systemctl", "enable", "--now", UNIT, timeout=150)
        # Type=notify: the start returns only once the hub has said it is ready.
        status = container.unit("StatusText")["StatusText"]
        check("active only after READY", status == f"listening on 127.0.0.1:{hub_port}"
              and accepts(hub_port), f"status {status!r} when systemctl start returned")
        pid = container.unit("MainPID")["MainPID"]
        uid = int(container.inside("stat", "-c", "%u", f"/proc/{pid}").stdout)
        check("runs as a dynamic user", uid in DYNAMIC_USERS, f"uid {uid}")
        state = container.inside("stat", "-L", "-c", "%u %F", "/var/lib/kestrel/bench",
                                 check=False).stdout.split()
        check("has its state directory", state == [str(uid), "directory"],
              f"/var/lib/kestrel/bench: {state}")
        libraries = container.inside("ldd", "/usr/bin/relayhub").stdout
        check("no sanitizer library", not re.search(r"lib(asan|ubsan|tsan|lsan)", libraries),
              libraries)

        result = run([args.relayctl, "--host", "127.0.0.1", "--port", str(hub_port), "on", "3"],
                     "relayctl on 3 through the hub", check=False)
        check("relayctl on 3 through the hub", result.returncode == 0 and frame(0x12, 3)
              in board.frames(), f"exit {result.returncode}: {result.stderr}")
        channels = wait_for(lambda: web_status(web_port)["channels"], "the web panel")
        check("web module loaded", channels[2], f"channels {channels}")
        availability = "kestrel/bench/availability"
        wait_for(lambda: broker.retained(availability, 1).get(availability) == "online",
                 "availability online", timeout=60)

        container.inside("systemctl", "reload", UNIT)
        wait_for(lambda: "SIGHUP" in container.journal(), "a SIGHUP line in the journal", 30)
        print("ok: reload reaches the hub", flush=True)

        container.inside("sh", "-c", f"kill -9 {pid}")
        wait_for(lambda: (unit := container.unit("MainPID", "ActiveState", "NRestarts"))
                 ["ActiveState"] == "active" and unit["MainPID"] not in ("0", pid)
                 and unit["NRestarts"] == "1", "systemd to start the hub again", 60)
        print("ok: started again after kill -9", flush=True)

        container.inside("systemctl", "stop", UNIT, timeout=60)
        unit = container.unit("Result", "ExecMainStatus")
        check("stops cleanly", unit == {"Result": "success", "ExecMainStatus": "0"}, unit)
        check("availability offline after stop",
              broker.retained(availability, 1).get(availability) == "offline")

        check_watchdog(container, board)
    finally:
        for part in (container, board, broker):
            if part:
                part.stop()
        shutil.rmtree(directory, ignore_errors=True)


def check_unit(container):
    """systemd-analyze on the installed unit: verify passes, the exposure is low enough."""
    result = container.inside("systemd-analyze", "verify", "--man=no",
                              f"/lib/systemd/system/{UNIT}", check=False)
    check("systemd-analyze verify", result.returncode == 0 and not result.stderr, result.stderr)
    report = container.inside("systemd-analyze", "security", "--offline=true", UNIT).stdout
    score = re.search(r"Overall exposure level for \S+: ([\d.]+)", report)
    check(f"exposure {score and score[1]} at most {MAX_EXPOSURE}",
          score and float(score[1]) <= MAX_EXPOSURE, report)


def check_watchdog(container, board):
    """With the board gone the hub backs off for seconds at a time; its loop must still
    ping the watchdog. A short WatchdogSec makes a missed ping show within the window."""
    dropin = container.path(f"/etc/systemd/system/{UNIT}.d/watchdog.conf")
    os.makedirs(os.path.dirname(dropin))
    with open(dropin, "w") as file:
        file.write("[Service]\nWatchdogSec=3\n")
    container.inside("systemctl", "daemon-reload")
    container.inside("systemctl", "start", UNIT, timeout=60)
    pid = container.unit("MainPID")["MainPID"]
    board.stop()
    wait_for(lambda: "down" in container.journal().rsplit("Started", 1)[-1], "the board down")
    # Into the backoff's 8 s step, past the watchdog's period in its 4 s one.
    time.sleep(10)
    unit, journal = container.unit("MainPID", "ActiveState"), container.journal()
    # systemd logs "Watchdog timeout" when it kills the hub for a missed ping.
    check("watchdog pinged while the board is away",
          unit == {"MainPID": pid, "ActiveState": "active"} and "atchdog" not in journal,
          f"{unit}; {journal[-600:]}")


if __name__ == "__main__":
    main()
