#!/usr/bin/env python3
"""relayhub's MQTT side against the real relayhub, boardsim and a mosquitto broker of
each case's own on 127.0.0.1: what reaches the broker, and what the board receives."""

import argparse
import json
import os
import signal

from relayhub_test import (QUERY, Hub, HubTestCase, frame, off, on, parse_programs,  # sets the path
                           run_cases, settings_file, switches)
from broker import Broker  # noqa: E402
from rules_test import gap, stamped  # noqa: E402


def base(board_id):
    return f"kestrel/{board_id}"


def discovery(board_id, n, kind, name):
    """{kind: the config Home Assistant is given, the other kind: cleared}."""
    topic = f"kestrel/{board_id}/channel/{n}/"
    config = {"name": name, "unique_id": f"{board_id}_{n}", "command_topic": topic + "set",
              "availability_topic": f"kestrel/{board_id}/availability",
              "payload_available": "online", "payload_not_available": "offline",
              "device": {"identifiers": [board_id], "name": board_id}}
    if kind == "button":
        return {"button": config | {"payload_press": "ON"}, "switch": ""}
    return {"switch": config | {"state_topic": topic + "state", "payload_on": "ON",
                                "payload_off": "OFF", "state_on": "ON", "state_off": "OFF",
                                "optimistic": False}, "button": ""}


def discovered(subscriber, board_id):
    """Per channel, {kind: its latest config parsed, "" when cleared, None when never sent}."""
    def parsed(kind, n):
        payload = subscriber.latest(f"homeassistant/{kind}/{board_id}_{n}/config")
        return json.loads(payload) if payload else payload
    return {n: {kind: parsed(kind, n) for kind in ("switch", "button")} for n in range(1, 17)}


def state_mask(subscriber, board_id):
    """Channels as the latest state messages say, once all 16 have one."""
    states = [subscriber.latest(f"{base(board_id)}/channel/{n}/state") for n in range(1, 17)]
    return None if None in states else sum(1 << i for i, s in enumerate(states) if s == "ON")


# Steps of MQTT commands: (topic under kestrel/<id>/, payload, the frames it sends, the
# channels afterwards, or None where nothing may change).
COMMAND_STEPS = [
    ("channel/3/set", "ON", [on(3)], 0x0004),
    ("channel/5/set", "on", [on(5)], 0x0014),
    ("channel/3/set", "TOGGLE", [off(3)], 0x0010),
    ("channel/16/set", "Toggle", [on(16)], 0x8010),
    ("channel/5/set", "OFF", [off(5)], 0x8000),
    ("all/set", "ON", [frame(0x13, 0xFFFFFFFF)], 0xFFFF),
] + [(topic, payload, [], None) for topic, payload in [
    ("channel/3/set", "1"), ("channel/3/set", "ONN"), ("channel/3/set", ""),
    ("channel/17/set", "ON"), ("channel/0/set", "OFF"), ("channel/03/set", "OFF"),
    ("channel/x/set", "OFF"), ("channel//set", "ON"), ("all/set", "TOGGLE"),
]] + [("all/set", "off", [frame(0x13, 0)], 0x0000)]


class MqttTest(HubTestCase):
    """The hub's fixture with a broker of the case's own."""

    def setUp(self):
        super().setUp()
        self.broker = self.start_broker()

    def start_broker(self, users=None):
        broker = Broker(self.directory, users)
        self.addCleanup(broker.stop)
        return broker

    def subscribe(self, *topics, broker=None):
        subscriber = (broker or self.broker).subscribe(*topics)
        self.addCleanup(subscriber.stop)
        return subscriber

    def mqtt_options(self, board_id, broker=None):
        return ["--mqtt", f"127.0.0.1:{(broker or self.broker).port}", "--board-id", board_id]

    def start_mqtt_hub(self, board, board_id, *options, broker=None):
        return self.start_hub(board.port, *self.mqtt_options(board_id, broker), *options)

    def wait_up(self, subscriber, board_id, channels, since=0):
        """All 16 states and online published (again, after message number since)."""
        topics = {f"{base(board_id)}/channel/{n}/state" for n in range(1, 17)}
        subscriber.wait(lambda: topics <= {t for _, t, _ in subscriber.messages(since)}
                        and state_mask(subscriber, board_id) == channels
                        and subscriber.latest(f"{base(board_id)}/availability") == "online",
                        f"channels {channels:#06x} and online for {board_id}")

    def test_board_restart(self):
        subscriber = self.subscribe("kestrel/#")
        board, _ = self.start(("--channels", "0x0005"), self.mqtt_options("b1"), True)
        self.wait_up(subscriber, "b1", 0x0005)
        board.stop()
        subscriber.wait(lambda: subscriber.latest("kestrel/b1/availability") == "offline",
                        "offline when the board has gone")
        since = len(subscriber.messages())
        self.restart_board(board.port, "--channels", "0x0005")
        self.wait_up(subscriber, "b1", 0x0005, since)

    def test_broker_restart(self):
        board = self.start_board()
        hub = self.start_mqtt_hub(board, "b1")
        subscriber = self.subscribe("kestrel/#")
        self.wait_up(subscriber, "b1", 0)
        self.broker.stop()
        subscriber.stop()
        # Two switches: the second goes only when the hub has passed on the first's status.
        self.assertEqual(self.relayctl(hub, "on 4 5"), "on: 4 5  ...##...........\n")
        self.broker.start()
        # The hub retries 1, 5 and 14 s after the loss (1, 4, 9 s apart): a broker back
        # within a few seconds is found well inside the wait's 30 s.
        subscriber = self.subscribe("kestrel/#", "homeassistant/#")
        self.wait_up(subscriber, "b1", 0x0018)
        retained = self.broker.retained("#", 33)
        self.assertEqual(len([t for t in retained if t.startswith("homeassistant/")]), 16)
        self.assertEqual(retained["kestrel/b1/availability"], "online")

    def test_commands(self):
        board = self.start_board()
        # An old command kept by the broker must not switch anything.
        self.broker.publish("kestrel/b1/channel/8/set", "ON", retain=True)
        self.start_mqtt_hub(board, "b1")
        subscriber = self.subscribe("kestrel/#")
        self.wait_up(subscriber, "b1", 0)
        sent = []
        for topic, payload, frames, channels in COMMAND_STEPS:
            with self.subTest(topic=topic, payload=payload):
                self.broker.publish(f"kestrel/b1/{topic}", payload)
                sent += frames
                if channels is not None:
                    subscriber.wait(lambda: len(switches(board)) >= len(sent) and state_mask(
                        subscriber, "b1") == channels, f"channels {channels:#06x}")
                    self.assertEqual(switches(board), sent)

    def test_state_only_from_the_board(self):
        board = self.start_board("--ignore-commands")
        self.start_mqtt_hub(board, "b1")
        subscriber = self.subscribe("kestrel/#")
        self.wait_up(subscriber, "b1", 0)
        self.broker.publish("kestrel/b1/channel/2/set", "ON")
        # The command, then two polls answered; the hub has seen the unchanged status
        # before it sees the board go.
        subscriber.wait(lambda: switches(board) == [on(2)] and
                        board.frames()[-2:] == [QUERY] * 2, "two polls after it")
        board.stop()
        subscriber.wait(lambda: subscriber.latest("kestrel/b1/availability") == "offline",
                        "offline when the board has gone")
        self.assertNotIn("ON", [p for _, t, p in subscriber.messages()
                                if t == "kestrel/b1/channel/2/state"])

    def test_discovery(self):
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(self.directory)
        captions = {1: "水泵", 2: "照明 灯", 16: "门 16"}
        # board id: (options, discovery messages after one announcement of Home Assistant)
        for board_id, options, published in [("b1", [], 32), ("b2", ["--no-discovery"], 0)]:
            with self.subTest(board_id):
                board = self.start_board()
                # The hub reads the captions in its working directory, which is ours.
                with open("canshu.ini", "wb") as file:
                    file.write(settings_file(board.port, captions))
                subscriber = self.subscribe("homeassistant/#", f"kestrel/{board_id}/#")
                self.start_mqtt_hub(board, board_id, *options)
                self.wait_up(subscriber, board_id, 0)
                self.broker.publish("homeassistant/status", "online")
                self.broker.publish(f"kestrel/{board_id}/channel/1/set", "ON")
                subscriber.wait(lambda: state_mask(subscriber, board_id) == 1, "channel 1 on")
                configs = [(t, p) for _, t, p in subscriber.messages()
                           if t.startswith(f"homeassistant/switch/{board_id}_")]
                self.assertEqual(len(configs), published)
                self.broker.publish(f"kestrel/{board_id}/channel/1/set", "OFF")
        retained = self.broker.retained("homeassistant/#", 16)
        for n in range(1, 17):
            config = json.loads(retained[f"homeassistant/switch/b1_{n}/config"])
            self.assertEqual(config, discovery("b1", n, "switch", captions.get(n, f"第{n}路"))[
                "switch"])

    def test_momentary_channels_and_names(self):
        """A momentary channel is a button to Home Assistant, its switch config cleared, and a
        name overrides the caption; a reload that changes the rules moves the configs."""
        board = self.start_board()
        with open(os.path.join(self.directory, "canshu.ini"), "wb") as file:
            file.write(settings_file(board.port, {2: "照明 灯", 5: "大门"}))
        subscriber = self.subscribe("homeassistant/#")
        hub = None
        # (relayhub.toml, {channel: (its kind, its name)} where not a switch with its caption)
        for text, special in [
                ('[channel.2]\nname = "Pump"\n[channel.5]\nname = "Gate"\npulse_ms = 500\n',
                 {2: ("switch", "Pump"), 5: ("button", "Gate")}),
                ('[channel.3]\npulse_ms = 300\n[channel.5]\nname = "Gate"\n',
                 {2: ("switch", "照明 灯"), 3: ("button", "第3路"), 5: ("switch", "Gate")})]:
            with self.subTest(special):
                config = self.config(text)
                if hub:
                    hub.process.send_signal(signal.SIGHUP)
                else:
                    hub = self.start_mqtt_hub(board, "b1", "--config", config)
                expected = {n: discovery("b1", n, *special.get(n, ("switch", f"第{n}路")))
                            for n in range(1, 17)}
                subscriber.wait(lambda: discovered(subscriber, "b1") == expected,
                                f"discovery of {special}")

    def test_pulse_topic(self):
        board = self.start_board()
        self.broker.publish("kestrel/b1/channel/7/pulse", "400", retain=True)  # an old one
        self.start_mqtt_hub(board, "b1")
        subscriber = self.subscribe("kestrel/#")
        self.wait_up(subscriber, "b1", 0)
        ignored = [("channel/7/pulse", p) for p in ("49", "60001", "", "half", "300 ", "-300",
                                                    "3e2", "ON")] + [("channel/17/pulse", "300")]
        for topic, payload in ignored:
            self.broker.publish(f"kestrel/b1/{topic}", payload)
        # Another channel's pulse after them: anything they switched comes before it.
        self.broker.publish("kestrel/b1/channel/8/pulse", "700")
        subscriber.wait(lambda: len(switches(board)) >= 2, "the pulse's ON and OFF at boardsim")
        self.assertEqual(switches(board), [on(8), off(8)])
        # stamped in whole ms, so a gap of 700 ms never reads less
        self.assertGreaterEqual(round(gap(stamped(board), on(8), off(8)) * 1000), 700)

    def test_two_hubs_with_one_board_id(self):
        """Two sites' boards with the same id, each site under a prefix of its own on one
        broker: neither hub takes the other's connection, both stay online and switch."""
        sites = ("site1", "site2")
        subscriber = self.subscribe(*[f"{site}/b1/#" for site in sites])
        hubs = [self.start_mqtt_hub(self.start_board(), "b1", "--topic-prefix", site)
                for site in sites]
        def online(site):
            return subscriber.latest(f"{site}/b1/availability") == "online"
        subscriber.wait(lambda: all(map(online, sites)), "both sites online")
        for site in sites:
            self.broker.publish(f"{site}/b1/channel/1/set", "ON")
            subscriber.wait(lambda: subscriber.latest(f"{site}/b1/channel/1/state") == "ON" and
                            online(site), f"channel 1 on and online at {site}")
        for hub in hubs:
            self.assertNotIn("reconnecting", hub.log())

    def test_stop(self):
        board = self.start_board()
        # signal: the hub's exit status (a killed hub leaves offline to the broker's will)
        for sig, status in [(signal.SIGTERM, 0), (signal.SIGINT, 0), (signal.SIGKILL, -9)]:
            with self.subTest(sig.name):
                board_id = sig.name.lower()
                subscriber = self.subscribe(f"kestrel/{board_id}/#")
                hub = Hub(self.directory, board.port, *self.mqtt_options(board_id))
                self.addCleanup(hub.stop, signal.SIGKILL)
                self.wait_up(subscriber, board_id, 0)
                self.assertEqual(hub.stop(sig), status, hub.log())
                self.assertEqual(self.broker.retained(f"kestrel/{board_id}/availability", 1),
                                 {f"kestrel/{board_id}/availability": "offline"})

    def test_password_file(self):
        password = "s3cret pass"
        broker = self.start_broker({"hub": password})
        path = os.path.join(self.directory, "mqtt-password")
        with open(path, "w", encoding="ascii") as file:
            file.write(password + "\n")
        subscriber = self.subscribe("kestrel/#", broker=broker)
        hub = self.start_mqtt_hub(self.start_board(), "b1", "--mqtt-user", "hub",
                                  "--mqtt-password-file", path, broker=broker)
        self.wait_up(subscriber, "b1", 0)
        self.assertNotIn(password, hub.log())


if __name__ == "__main__":
    run_cases(MqttTest, parse_programs(argparse.ArgumentParser(description=__doc__)))
