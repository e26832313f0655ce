#!/usr/bin/env python3
"""relayhub's MQTT over TLS against a mosquitto TLS listener of each case's own on
127.0.0.1, with certificates that openssl makes for the run (certs.py): what the hub
verifies, what it logs when TLS fails, and the options it refuses at start."""

import argparse
import os
import shutil
import subprocess
import tempfile

from relayhub_test import (HubTestCase, dialled, frame, listener, parse_programs,  # sets the path
                           port, run_cases, run_hub, wait_for)
from broker import Broker, TlsListener  # noqa: E402
from certs import make_certs  # noqa: E402

UP = r"MQTT broker \S+ up"


class TlsTest(HubTestCase):

    @classmethod
    def setUpClass(cls):
        cls.certs_home = tempfile.mkdtemp(prefix="kestrel-certs-")
        cls.certs = make_certs(cls.certs_home)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.certs_home, ignore_errors=True)

    def start_broker(self, server, client=None):
        broker = Broker(self.directory, tls=TlsListener(self.certs.ca.cert, server, client))
        self.addCleanup(broker.stop)
        return broker

    def start_tls_hub(self, board, broker, *options):
        return self.start_hub(board.port, "--mqtt", f"127.0.0.1:{broker.port}", "--mqtt-tls",
                              "--board-id", "b1", *options)

    def test_a_verified_broker(self):
        """Discovery, states, availability and a command, with the CAs from a file and
        from a hashed directory."""
        ca_dir = os.path.join(self.directory, "cas")
        os.makedirs(ca_dir)
        shutil.copy(self.certs.ca.cert, ca_dir)
        subprocess.run(["openssl", "rehash", ca_dir], check=True, timeout=30)
        for name, options in [("--mqtt-ca", ["--mqtt-ca", self.certs.ca.cert]),
                              ("--mqtt-ca-dir", ["--mqtt-ca-dir", ca_dir])]:
            with self.subTest(name):
                broker = self.start_broker(self.certs.server)
                subscriber = broker.subscribe("kestrel/#", "homeassistant/#")
                self.addCleanup(subscriber.stop)
                board = self.start_board("--channels", "0x0005")
                self.start_tls_hub(board, broker, *options)
                states = [f"kestrel/b1/channel/{n}/state" for n in range(1, 17)]
                subscriber.wait(lambda: all(map(subscriber.latest, states)) and
                                subscriber.latest("kestrel/b1/availability") == "online",
                                "every state and online")
                self.assertEqual([subscriber.latest(t) for t in states[:4]],
                                 ["ON", "OFF", "ON", "OFF"])
                configs = {t for _, t, _ in subscriber.messages()
                           if t.startswith("homeassistant/switch/b1_")}
                self.assertEqual(len(configs), 16)
                broker.publish("kestrel/b1/channel/2/set", "ON")
                subscriber.wait(lambda: subscriber.latest(states[1]) == "ON", "channel 2 on")
                self.assertIn(frame(0x12, 2), board.frames())

    def test_refused_brokers(self):
        """Each fault of the broker's certificate is refused with a line that names it;
        the board's clients switch meanwhile, and the hub gets through once the broker
        shows a good certificate."""
        rows = [("wrong CA", self.certs.other_server, "unknown CA"),
                ("host name mismatch", self.certs.wrong_host,
                 r"host name mismatch \(the broker's certificate is not for 127\.0\.0\.1\)"),
                ("expired", self.certs.expired, "expired certificate")]
        for name, server, reason in rows:
            with self.subTest(name):
                broker = self.start_broker(server)
                board = self.start_board()
                hub = self.start_tls_hub(board, broker, "--mqtt-ca", self.certs.ca.cert)
                hub.wait_log(f"MQTT broker 127.0.0.1:{broker.port}: TLS failed: {reason}.*; "
                             "retrying", f"the line that names {name}")
                self.assertEqual(self.relayctl(hub, "on 4"), "on: 4  ...#............\n")
                # The hub tries again, and says nothing new while nothing changes.
                tries = broker.connections()
                wait_for(lambda: broker.connections() > tries, "the hub to try again")
                self.assertEqual(hub.log().count("TLS failed"), 1, hub.log())
                self.assertNotRegex(hub.log(), UP)
                broker.stop()
                broker.configure(TlsListener(self.certs.ca.cert, self.certs.server))
                broker.start()
                hub.wait_log(UP, "the broker up with a good certificate")

    def test_a_broker_that_wants_a_client_certificate(self):
        """With the client certificate the hub gets in, without it is refused; a key that
        others can read is warned about at start."""
        shared_key = os.path.join(self.directory, "shared.key")
        shutil.copy(self.certs.client.key, shared_key)
        os.chmod(shared_key, 0o644)
        client = ["--mqtt-cert", self.certs.client.cert, "--mqtt-key"]
        rows = [("client certificate", [*client, self.certs.client.key], UP, False),
                ("readable key", [*client, shared_key], UP, True),
                ("none", [], "TLS failed: client certificate refused", False)]
        for name, options, outcome, warned in rows:
            with self.subTest(name):
                broker = self.start_broker(self.certs.server, self.certs.client)
                board = self.start_board()
                hub = self.start_tls_hub(board, broker, "--mqtt-ca", self.certs.ca.cert,
                                         *options)
                hub.wait_log(outcome, outcome)
                self.assertEqual("warning: the MQTT key" in hub.log(), warned, hub.log())

    def test_bad_options_at_start(self):
        """Each exits 1 naming the option, before it dials the board or the broker."""
        certs, missing = self.certs, os.path.join(self.directory, "missing.pem")
        tls = ["--mqtt-tls", "--mqtt-ca", certs.ca.cert]
        rows = [
            ("--mqtt-ca", ["--mqtt-tls", "--mqtt-ca", missing]),
            ("--mqtt-ca", ["--mqtt-tls", "--mqtt-ca", os.path.join(certs.directory, "ca.srl")]),
            ("--mqtt-ca-dir", ["--mqtt-tls", "--mqtt-ca-dir", certs.ca.cert]),
            ("--mqtt-ca", [*tls, "--mqtt-ca-dir", certs.directory]),
            ("--mqtt-cert", [*tls, "--mqtt-cert", missing, "--mqtt-key", certs.client.key]),
            ("--mqtt-cert", [*tls, "--mqtt-cert", certs.client.key, "--mqtt-key",
                             certs.client.key]),
            ("--mqtt-key", [*tls, "--mqtt-cert", certs.client.cert, "--mqtt-key", missing]),
            ("--mqtt-key", [*tls, "--mqtt-cert", certs.client.cert, "--mqtt-key",
                            certs.server.key]),
            ("--mqtt-key", [*tls, "--mqtt-cert", certs.client.cert, "--mqtt-key",
                            certs.locked_client_key]),
            ("--mqtt-cert", [*tls, "--mqtt-cert", certs.client.cert]),
            ("--mqtt-key", [*tls, "--mqtt-key", certs.client.key]),
            ("--mqtt-cert", ["--mqtt-cert", certs.client.cert]),
            ("--mqtt-ca", ["--mqtt-ca", certs.ca.cert]),
        ]
        for option, options in rows:
            with self.subTest(" ".join(options[1:])):
                board, broker = listener(), listener()
                with board, broker:
                    result = run_hub("--board", f"127.0.0.1:{port(board)}", "--listen",
                                     "127.0.0.1:0", "--mqtt", f"127.0.0.1:{port(broker)}", *options)
                    self.assertEqual(dialled(board) + dialled(broker), 0, result.stderr)
                    self.assertEqual(result.returncode, 1, result.stderr)
                    self.assertRegex(result.stderr, f"^relayhub: {option}[ :]")
        result = run_hub("--mqtt-tls")
        self.assertEqual((result.returncode, result.stderr),
                         (1, "relayhub: --mqtt-tls needs --mqtt (see relayhub --help)\n"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    run_cases(TlsTest, parse_programs(parser))


if __name__ == "__main__":
    main()
