#!/usr/bin/env python3
"""relayhub's /metrics against the real boardsim, mosquitto, relayctl and web requests, all
on 127.0.0.1: every scrape parsed by Debian's python3-prometheus-client, the switches by
source, the confirmation histogram, a board restart, and counters that never go down."""

import argparse
import os
import sys

from prometheus_client.parser import text_string_to_metric_families

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from relayhub_test import Client, parse_programs, run_cases  # noqa: E402
from broker import Broker  # noqa: E402
from panel_driver import wait_for  # noqa: E402
from web_test import Events, HubTestCase, WebHub  # noqa: E402

# A caption that needs the format's escapes in a label value.
CAPTION = 'say "hi" \\ there'


class MetricsHub(WebHub):
    """The web panel's hub with the caption above on channel 1."""

    def __init__(self, directory, board_port, *options):
        super().__init__(directory, board_port, *options, captions={1: CAPTION})
        self.scrapes = []

    def scrape(self):
        """{(sample name, ((label, value), ...)): value}, each scrape kept."""
        connection = self.connection()
        connection.request("GET", "/metrics")
        reply = connection.getresponse()
        text = reply.read().decode()
        connection.close()
        if (reply.status, reply.getheader("Content-Type")) != (
                200, "text/plain; version=0.0.4; charset=utf-8"):
            raise AssertionError(f"/metrics answered {reply.status} {reply.msg}")
        samples = {(s.name, tuple(sorted(s.labels.items()))): s.value
                   for family in text_string_to_metric_families(text) for s in family.samples}
        self.scrapes.append(samples)
        return samples

    def value(self, name, **labels):
        return self.scrape().get((name, tuple(sorted(labels.items()))))

    def wait_value(self, name, value, what, **labels):
        wait_for(lambda: self.value(name, **labels) == value, what, 60)


def is_counter(name):
    return name.endswith(("_total", "_bucket", "_count", "_sum"))


class MetricsTest(HubTestCase):

    def start_hub(self, board_port, *options):
        hub = MetricsHub(self.directory, board_port, *options)
        self.addCleanup(lambda: self.assertEqual(hub.stop(), 0, hub.log()))
        return hub

    def test_scrapes_through_switches_and_a_board_restart(self):
        broker = Broker(self.directory)
        self.addCleanup(broker.stop)
        board, hub = self.start(("--channels", "0x0000"), ("--mqtt", f"127.0.0.1:{broker.port}",
                                                           "--board-id", "m1"), restartable=True)
        hub.wait_value("kestrel_mqtt_up", 1, "the broker up")
        first = hub.scrape()
        self.assertEqual(first[("kestrel_board_up", ())], 1)
        self.assertEqual(first[("kestrel_board_connects_total", ())], 1)
        self.assertEqual(first[("kestrel_mqtt_connects_total", ())], 1)
        self.assertEqual(first[("kestrel_channel_on", (("caption", CAPTION),
                                                       ("channel", "1")))], 0)

        # Two switches from the web, one from relayctl, one over MQTT; each confirmed.
        for body in ("on", "off"):
            self.assertEqual(hub.request("POST", "/api/channel/2", body)[0], 200)
        self.relayctl(hub, "on 4")
        broker.publish("kestrel/m1/channel/5/set", "ON")
        hub.wait_value("kestrel_switch_confirm_seconds_count", 4, "4 confirmed switches")
        samples = hub.scrape()
        self.assertEqual({source: samples[("kestrel_switches_total", (("source", source),))]
                          for source in ("client", "mqtt", "web", "rule")},
                         {"client": 1, "mqtt": 1, "web": 2, "rule": 0})
        self.assertEqual(samples[("kestrel_switch_confirm_seconds_bucket", (("le", "+Inf"),))],
                         4)
        self.assertEqual([n for n in range(1, 17) if samples[(
            "kestrel_channel_on", (("caption", f"第{n}路" if n > 1 else CAPTION),
                                   ("channel", str(n))))]], [4, 5])

        # A client of the board's protocol and a page's event stream, counted while there.
        client = Client(hub.port)
        self.addCleanup(client.close)
        events = Events(hub)
        self.addCleanup(events.close)
        events.next("the snapshot")
        hub.wait_value("kestrel_clients", 1, "one client")
        self.assertEqual(hub.value("kestrel_http_listeners"), 1)
        client.close()
        events.close()

        board.stop()
        hub.wait_value("kestrel_board_up", 0, "the board down")
        self.assertEqual(hub.value("kestrel_board_disconnects_total", reason="closed"), 1)
        board = self.restart_board(board.port)
        hub.wait_value("kestrel_board_up", 1, "the board back")
        self.assertEqual(hub.value("kestrel_board_connects_total"), 2)

        for before, after in zip(hub.scrapes, hub.scrapes[1:]):
            for key, value in before.items():
                if is_counter(key[0]):
                    self.assertGreaterEqual(after.get(key, -1), value, f"{key} went down")


def main():
    run_cases(MetricsTest, parse_programs(argparse.ArgumentParser(description=__doc__)))


if __name__ == "__main__":
    main()
