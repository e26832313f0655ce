#!/usr/bin/env python3
"""relayhub's loopback rule for real: the web panel listens on one end of a veth pair whose
other end is in a network namespace the test makes, and curl in that namespace comes from
an address that is not loopback. Without a token its switch is refused, with the hub's
token it is taken, and the page is there either way. Exits 77 (skipped) where the machine
allows no network namespaces."""

import argparse
import os
import random
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from relayhub_test import Hub, parse_programs, run_cases  # noqa: E402
from web_test import TOKEN, HubTestCase, on, switches  # noqa: E402

SKIPPED = 77


def ip(*arguments, check=True):
    return subprocess.run(["ip", *arguments], capture_output=True, text=True, timeout=30,
                          check=check)


class Namespace:
    """A namespace joined to this one by a veth pair, on addresses of the benchmarking range
    (198.18.0.0/15) that exist only on the pair: host_address here, address inside."""

    def __init__(self):
        tag = f"{os.getpid() % 10000}{random.randrange(1000):03d}"
        self.name = f"kestrel-{tag}"
        self.outer, self.inner = f"kv{tag}a", f"kv{tag}b"
        subnet = f"198.{18 + random.randrange(2)}.{random.randrange(256)}"
        self.host_address, self.address = f"{subnet}.1", f"{subnet}.2"
        ip("netns", "add", self.name)
        try:
            ip("link", "add", self.outer, "type", "veth", "peer", "name", self.inner)
            ip("link", "set", self.inner, "netns", self.name)
            ip("addr", "add", f"{self.host_address}/30", "dev", self.outer)
            ip("link", "set", self.outer, "up")
            ip("-n", self.name, "addr", "add", f"{self.address}/30", "dev", self.inner)
            ip("-n", self.name, "link", "set", self.inner, "up")
        except BaseException:
            self.delete()
            raise

    def curl(self, *arguments):
        """The HTTP status curl got, run inside the namespace."""
        result = subprocess.run(["ip", "netns", "exec", self.name, "curl", "-s", "-o",
                                 "/dev/null", "-w", "%{http_code}", "--max-time", "30",
                                 *arguments], capture_output=True, text=True, timeout=60)
        return int(result.stdout or 0)

    def delete(self):
        ip("link", "del", self.outer, check=False)
        ip("netns", "del", self.name, check=False)


class NetnsHub(Hub):
    def __init__(self, directory, board_port, address, *options):
        super().__init__(directory, board_port, "--http", f"{address}:0", *options)
        self.http_port = int(self.wait_log(rf"web panel on http://{address}:(\d+)/",
                                           "the web panel's port")[0])


class NetnsTest(HubTestCase):

    def test_switching_from_another_address(self):
        namespace = Namespace()
        try:
            token_file = os.path.join(self.directory, "token")
            with open(token_file, "w", encoding="ascii") as file:
                file.write(TOKEN + "\n")
            board = self.start_board()
            # (hub options, curl's request, status): one hub without a token, one with it.
            cases = [
                ((), ("-X", "POST", "--data", "on"), "/api/channel/1", 403),
                ((), (), "/", 200),
                (("--http-token-file", token_file),
                 ("-X", "POST", "--data", "on", "-H", f"Authorization: Bearer {TOKEN}"),
                 "/api/channel/2", 200),
            ]
            for options, request, path, status in cases:
                with self.subTest(path=path, options=options):
                    hub = NetnsHub(self.directory, board.port, namespace.host_address,
                                   *options)
                    try:
                        hub.wait_log(r"board \S+ up", "the board up")
                        url = f"http://{namespace.host_address}:{hub.http_port}{path}"
                        self.assertEqual(namespace.curl(*request, url), status, hub.log())
                    finally:
                        self.assertEqual(hub.stop(), 0, hub.log())
            self.assertEqual(switches(board), [on(2)], "the one switch taken")
        finally:
            namespace.delete()


def namespaces_allowed():
    probe = f"kestrel-probe-{os.getpid()}"
    if (os.geteuid() != 0 or not shutil.which("ip")
            or ip("netns", "add", probe, check=False).returncode != 0):
        return False
    ip("netns", "del", probe, check=False)
    return True


def main():
    args = parse_programs(argparse.ArgumentParser(description=__doc__.splitlines()[0]))
    if not namespaces_allowed():
        print("skipped: this machine allows no network namespaces here (needs root and "
              "`ip netns add`)")
        sys.exit(SKIPPED)
    run_cases(NetnsTest, args)


if __name__ == "__main__":
    main()
