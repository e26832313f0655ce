#!/usr/bin/env python3
"""relayhub's web panel over HTTPS (certificates made by openssl at test time, curl and
Python's ssl as clients), the refusals of bad certificate options at start, and the limits
that keep slow clients from shutting the page out: an attack of trickling connections from
other loopback addresses while ordinary requests from 127.0.0.1 are all answered."""

import argparse
import http.client
import json
import os
import select
import socket
import ssl
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from certs import make_certs  # noqa: E402
from relayhub_test import dialled, listener, parse_programs, port, run_cases, run_hub  # noqa: E402
from panel_driver import wait_for  # noqa: E402
from web_test import HubTestCase, WebHub, mask, on, switches  # noqa: E402


class HttpsHub(WebHub):
    """The web panel's hub on HTTPS with the server certificate of certs."""

    scheme = "https"

    def __init__(self, directory, board_port, certs, *options):
        self.context = ssl.create_default_context(cafile=certs.ca.cert)
        super().__init__(directory, board_port, "--http-cert", certs.server.cert, "--http-key",
                         certs.server.key, *options)

    def connection(self, timeout=30):
        return http.client.HTTPSConnection("127.0.0.1", self.http_port, timeout=timeout,
                                           context=self.context)


# (what, Origin, status) for a switch of channel 2 over HTTPS: https of this host and port
# only.
ORIGIN_CASES = [
    ("the page's own origin", "https://127.0.0.1:{port}", 200),
    ("plain http of this host and port", "http://127.0.0.1:{port}", 403),
    ("https on another port", "https://127.0.0.1:1", 403),
    ("https of another host", "https://evil.example:{port}", 403),
]


class HttpsTest(HubTestCase):

    def setUp(self):
        super().setUp()
        self.certs = make_certs(self.directory)

    def test_page_switch_origins_and_plain_http(self):
        board = self.start_board("--channels", "0x0000")
        hub = HttpsHub(self.directory, board.port, self.certs)
        self.addCleanup(lambda: self.assertEqual(hub.stop(), 0, hub.log()))
        hub.wait_connected(True)
        base = f"https://127.0.0.1:{hub.http_port}"

        def curl(*arguments):
            result = subprocess.run(["curl", "-sS", "--cacert", self.certs.ca.cert, *arguments],
                                    capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            return result.stdout
        self.assertIn("panel.js", curl(base + "/"))
        answer = json.loads(curl("-X", "POST", "--data", "on", base + "/api/channel/3"))
        self.assertEqual(mask(answer), 0x0004, answer)
        self.assertEqual(switches(board), [on(3)])

        for what, origin, status in ORIGIN_CASES:
            with self.subTest(what):
                headers = {"Origin": origin.replace("{port}", str(hub.http_port))}
                self.assertEqual(hub.request("POST", "/api/channel/2", "toggle", headers)[0],
                                 status)
        self.assertEqual(len(switches(board)), 2, "the one switch the origins let through")

        plain = http.client.HTTPConnection("127.0.0.1", hub.http_port, timeout=30)
        with self.assertRaises((http.client.HTTPException, ConnectionError),
                               msg="plain HTTP to the HTTPS port got an answer"):
            plain.request("GET", "/")
            plain.getresponse()
        plain.close()


class BadOptionsTest(HubTestCase):

    def test_refused_at_start(self):
        certs = make_certs(self.directory)
        server, client = certs.server, certs.client
        missing = os.path.join(self.directory, "missing.pem")
        # (what, options, what the message holds)
        cases = [
            ("a missing certificate", ("--http-cert", missing, "--http-key", server.key),
             f"--http-cert {missing}: cannot read it"),
            ("an unreadable key (a directory)", ("--http-cert", server.cert, "--http-key",
                                                 certs.directory), "--http-key"),
            ("a key that is not the certificate's", ("--http-cert", server.cert,
                                                     "--http-key", client.key),
             "the key is not the certificate's"),
            ("a key for a certificate", ("--http-cert", server.key, "--http-key", server.key),
             "--http-cert"),
            ("a certificate without its key", ("--http-cert", server.cert),
             "--http-cert needs --http-key"),
            ("a key without its certificate", ("--http-key", server.key),
             "--http-key needs --http-cert"),
        ]
        board = listener()
        self.addCleanup(board.close)
        for what, options, message in cases:
            with self.subTest(what):
                result = run_hub("--board", f"127.0.0.1:{port(board)}", "--listen",
                                 "127.0.0.1:0", "--http", "127.0.0.1:0", *options,
                                 cwd=self.directory)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertNotIn("listening for clients", result.stderr)
                self.assertEqual(dialled(board), 0, "the hub dialled the board")


# A request's start and what follows it at every step: a head that never ends, or a whole
# head whose body never ends.
HEAD_TRICKLE = (b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n", b"X-Slow: yes\r\n")
BODY_TRICKLE = (b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 64\r\n\r\n",
                b"x")


class Trickle:
    """count connections to port, from the source addresses in turn, each sending a piece of
    its request at every step and reopened at the next step when the hub has closed it."""

    def __init__(self, port, sources, count, trickle=HEAD_TRICKLE):
        self.port = port
        self.sources = sources
        self.sockets = [None] * count
        self.closed = 0
        self.start, self.piece = trickle

    def open(self, n):
        s = socket.socket()
        s.bind((self.sources[n % len(self.sources)], 0))
        s.settimeout(5)
        try:
            s.connect(("127.0.0.1", self.port))
            s.sendall(self.start)
        except OSError:
            s.close()
            return None
        s.setblocking(False)
        return s

    def step(self):
        for n, s in enumerate(self.sockets):
            if s is not None and select.select([s], [], [], 0)[0]:
                try:
                    gone = s.recv(4096) == b""
                except OSError:
                    gone = True
                if gone:
                    s.close()
                    s = self.sockets[n] = None
                    self.closed += 1
            if s is None:
                self.sockets[n] = self.open(n)
            else:
                try:
                    s.send(self.piece)
                except OSError:
                    s.close()
                    self.sockets[n] = None

    def close(self):
        for s in self.sockets:
            if s is not None:
                s.close()


class SlowClientTest(HubTestCase):

    def test_trickling_connections_do_not_shut_the_page_out(self):
        """From one address, then from many (beyond the total), trickling heads, then bodies:
        12 ordinary requests, one a second with a 3 s time-out, all answered while the attack
        goes on."""
        board = self.start_board()
        hub = self.start_hub(board.port)
        many = [f"127.0.1.{n}" for n in range(1, 41)]
        for what, sources, count, trickle in (
                ("one address", ["127.0.0.2"], 80, HEAD_TRICKLE),
                ("40 addresses", many, 80, HEAD_TRICKLE),
                ("40 addresses, bodies", many, 80, BODY_TRICKLE)):
            with self.subTest(what):
                attack = Trickle(hub.http_port, sources, count, trickle)
                self.addCleanup(attack.close)
                failed = []
                for request in range(12):
                    for _ in range(2):
                        attack.step()
                        time.sleep(0.5)
                    try:
                        connection = hub.connection(timeout=3)
                        connection.request("GET", "/api/status")
                        status = connection.getresponse().status
                        connection.close()
                        if status != 200:
                            failed.append(f"request {request}: {status}")
                    except (OSError, http.client.HTTPException) as error:
                        failed.append(f"request {request}: {error!r}")
                attack.close()
                self.assertEqual(failed, [], "ordinary requests during the attack")
                self.assertGreater(attack.closed, 0, "the hub closed none of the attack")

    def test_one_address_cannot_push_out_another(self):
        """A page's idle keep-alive connection outlives a flood from one other address,
        which stays within its own share instead of reaching the total."""
        board = self.start_board()
        hub = self.start_hub(board.port)
        page = hub.connection()
        self.addCleanup(page.close)
        page.request("GET", "/api/status")
        page.getresponse().read()
        attack = Trickle(hub.http_port, ["127.0.0.4"], 40)
        self.addCleanup(attack.close)
        # Until the hub has shed one of them: it has seen the flood.
        wait_for(lambda: attack.step() or attack.closed, "the hub to shed one of the flood",
                 30, 0.05)
        page.request("GET", "/api/status")
        self.assertEqual(page.getresponse().status, 200, "the page's second request")
        page.close()

    def test_a_trickled_head_runs_out_of_time(self):
        """One connection that keeps sending header lines is closed all the same."""
        board = self.start_board()
        hub = self.start_hub(board.port)
        attack = Trickle(hub.http_port, ["127.0.0.3"], 1)
        self.addCleanup(attack.close)
        wait_for(lambda: attack.step() or attack.closed,
                 "the hub to close a connection whose head never ends", 60, 0.5)


def main():
    args = parse_programs(argparse.ArgumentParser(description=__doc__.splitlines()[0]))
    run_cases(HttpsTest, args, BadOptionsTest, SlowClientTest)


if __name__ == "__main__":
    main()
