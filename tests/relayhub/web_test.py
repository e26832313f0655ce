#!/usr/bin/env python3
"""relayhub's web panel against the real boardsim, all on 127.0.0.1. The API: every
endpoint and status code, the token, origin, host and size checks, the listener cap, the
time-out for a slow request, and the event stream showing a switch that relayctl made
through the hub. With --browser, the page in headless Chromium walks a user's steps and
saves the desktop and phone screenshots."""

import argparse
import collections
import contextlib
import http.client
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "panelprobe"))
from panel_driver import frame, settings_file, wait_for  # noqa: E402
from relayhub_test import (PROGRAMS, Hub, HubTestCase as HubFixture, off, on,  # noqa: E402
                           parse_programs, run_cases, switches)
from rules_test import gap, stamped  # noqa: E402

SCREENSHOTS = None
CAPTIONS = {1: "水泵", 4: "照明灯", 16: "备用电源"}
TOKEN = "k3strel-hub-token"


class WebHub(Hub):
    """The shared hub with its web panel on a free port, run beside a canshu.ini that holds
    the GBK captions (and the board's address)."""

    scheme = "http"

    def __init__(self, directory, board_port, *options, captions=CAPTIONS):
        with open(os.path.join(directory, "canshu.ini"), "wb") as ini:
            ini.write(settings_file(board_port, captions))
        super().__init__(directory, board_port, "--http", "127.0.0.1:0", *options)
        self.http_port = int(self.wait_log(
            rf"web panel on {self.scheme}://127\.0\.0\.1:(\d+)/", "the web panel's port")[0])

    def connection(self, timeout=30):
        return http.client.HTTPConnection("127.0.0.1", self.http_port, timeout=timeout)

    def request(self, method, path, body=None, headers=None):
        """(status, parsed JSON or the raw body)."""
        connection = self.connection()
        try:
            connection.request(method, path, body=body, headers=headers or {})
            reply = connection.getresponse()
            data = reply.read()
        finally:
            connection.close()
        is_json = reply.getheader("Content-Type", "").startswith("application/json")
        return reply.status, json.loads(data) if is_json else data

    def status(self):
        return self.request("GET", "/api/status")[1]

    def wait_connected(self, connected):
        wait_for(lambda: self.status()["connected"] == connected,
                 f"/api/status to say connected {connected}", 60)

    def open_stream(self):
        stream = socket.create_connection(("127.0.0.1", self.http_port), timeout=30)
        stream.sendall(f"GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:{self.http_port}\r\n\r\n"
                       .encode())
        return stream

    def stream_status(self):
        """The status code of a new event stream, which is then closed."""
        with self.open_stream() as stream:
            return int(stream.recv(4096).split()[1])


class Events:
    """The event stream as (type, data) pairs, read as they come."""

    def __init__(self, hub):
        self.stream = hub.open_stream()
        self.text = b""
        self.seen = 0

    def next(self, what, deadline=30):
        """The next event; fails naming what was awaited when none comes in time."""
        end = time.monotonic() + deadline
        pattern = re.compile(rb"event: (\w+)\ndata: (.*)\n\n")
        while not (found := pattern.search(self.text, self.seen)):
            self.stream.settimeout(max(end - time.monotonic(), 0.01))
            try:
                chunk = self.stream.recv(4096)
            except socket.timeout:
                chunk = None
            if not chunk:
                raise AssertionError(f"no event on the stream while waiting for {what}")
            self.text += chunk
        self.seen = found.end()
        return found.group(1).decode(), json.loads(found.group(2))

    def until(self, holds, what):
        """The status of the first event from now on for which holds(status) is true."""
        while not holds(status := self.next(what)[1]):
            pass
        return status

    def close(self):
        self.stream.close()


def mask(status):
    return int(status["mask"], 16)


def rules(**special):
    """The status's rules: every channel's default but those given as {"c<n>": {key: value}}."""
    default = {"name": None, "pulse_ms": None, "max_on_s": None, "power_on": "board",
               "interlock": None}
    return [default | special.get(f"c{n}", {}) for n in range(1, 17)]


# A pulse's rows: (what, channel, body, status, the least length at boardsim), in order
# against a board that starts with channel 1 on, with PULSE_RULES.
PULSE_RULES = """
[channel.1]
max_on_s = 3600
[channel.6]
name = "Gate"
pulse_ms = 300
power_on = "off"
[[interlock]]
channels = [8, 10, 9]
dead_ms = 100
"""
PULSE_CASES = [
    ("its own length", 3, "700", 200, 700),
    ("the channel's pulse_ms", 6, "", 200, 300),
    ("its own length on a momentary channel", 6, " 400\n", 200, 400),
    ("no body and no pulse_ms", 3, "", 400, None),
    ("below 50", 3, "49", 400, None),
    ("above 60000", 3, "60001", 400, None),
    ("not a number", 3, "half", 400, None),
    ("negative", 3, "-100", 400, None),
    ("a fraction", 3, "100.5", 400, None),
    ("channel 17", 17, "100", 400, None),
]


# (what, method, path, body, extra headers, status, the board's mask after it, frames sent).
# Run in order against a board that starts with channels 1 and 16 on.
API_CASES = [
    ("status", "GET", "/api/status", None, {}, 200, 0x8001, []),
    ("on", "POST", "/api/channel/3", "on", {}, 200, 0x8005, [on(3)]),
    ("toggle", "POST", "/api/channel/3", "toggle\n", {}, 200, 0x8001, [off(3)]),
    ("off in capitals", "POST", "/api/channel/16", "OFF", {}, 200, 0x0001, [off(16)]),
    ("all on", "POST", "/api/all", "on", {}, 200, 0xFFFF, [frame(0x13, 0xFFFFFFFF)]),
    ("all off", "POST", "/api/all", "off", {}, 200, 0x0000, [frame(0x13, 0)]),
    ("from the page's own origin", "POST", "/api/channel/2", "on",
     {"Origin": "http://127.0.0.1:{port}"}, 200, 0x0002, [on(2)]),
    ("from https on this host (a TLS proxy)", "POST", "/api/channel/2", "off",
     {"Origin": "https://localhost", "Host": "localhost"}, 200, 0x0000, [off(2)]),
    ("from https on another host", "POST", "/api/channel/2", "on",
     {"Origin": "https://evil.example:{port}"}, 403, None, []),
    ("from another port of this host", "POST", "/api/channel/2", "on",
     {"Origin": "http://127.0.0.1:1"}, 403, None, []),
    ("channel 17", "POST", "/api/channel/17", "on", {}, 400, None, []),
    ("channel 0", "POST", "/api/channel/0", "on", {}, 400, None, []),
    ("channel x", "POST", "/api/channel/x", "on", {}, 400, None, []),
    ("bad body", "POST", "/api/channel/2", "maybe", {}, 400, None, []),
    ("empty body", "POST", "/api/channel/2", "", {}, 400, None, []),
    ("all toggle", "POST", "/api/all", "toggle", {}, 400, None, []),
    ("body above the limit", "POST", "/api/all", "on" + " " * 4096, {}, 413, None, []),
    ("another origin", "POST", "/api/channel/2", "off", {"Origin": "http://evil.example"},
     403, None, []),
    ("origin null", "POST", "/api/all", "off", {"Origin": "null"}, 403, None, []),
    ("another site's name (DNS rebinding)", "GET", "/api/status", None,
     {"Host": "evil.example:{port}"}, 403, None, []),
    ("unknown path", "GET", "/api/nothing", None, {}, 404, None, []),
]


class HubTestCase(HubFixture):
    """The hub's fixture (and its restartable board) with the web panel's hub."""

    def start_hub(self, board_port, *options):
        hub = WebHub(self.directory, board_port, *options)
        self.addCleanup(lambda: self.assertEqual(hub.stop(), 0, hub.log()))
        hub.wait_connected(True)
        return hub


class ApiTest(HubTestCase):

    def test_endpoints_in_one_table(self):
        board = self.start_board("--channels", "0x8001")
        hub = self.start_hub(board.port)
        sent = []
        for what, method, path, body, headers, status, after, frames in API_CASES:
            with self.subTest(what):
                headers = {k: v.replace("{port}", str(hub.http_port)) for k, v in headers.items()}
                got, answer = hub.request(method, path, body, headers)
                self.assertEqual(got, status, answer)
                if after is not None:
                    self.assertEqual(mask(answer), after, answer)
                sent += frames
        self.assertEqual(switches(board), sent, "the switches boardsim received")
        captions = hub.status()["captions"]
        self.assertEqual(captions, [CAPTIONS.get(n, f"第{n}路") for n in range(1, 17)])
        for path, kind, holds in (("/", "text/html", b"panel.js"),
                                  ("/panel.js", "text/javascript", b"EventSource"),
                                  ("/panel.css", "text/css", b".channel.on")):
            connection = hub.connection()
            connection.request("GET", path)
            reply = connection.getresponse()
            self.assertEqual((reply.status, reply.getheader("Content-Type").split(";")[0]),
                             (200, kind), path)
            self.assertIn(holds, reply.read(), path)
            connection.close()

    def test_pulse_rules_and_timers(self):
        board = self.start_board("--channels", "0x0001")
        hub = self.start_hub(board.port, "--config", self.config(PULSE_RULES))
        # Channel 1's auto-off runs from the board's first status.
        status = wait_for(lambda: (s := hub.status())["timer_ms"][0] and s, "channel 1's timer")
        self.assertEqual(status["rules"], rules(
            c1={"max_on_s": 3600}, c6={"name": "Gate", "pulse_ms": 300, "power_on": "off"},
            **{f"c{n}": {"interlock": [8, 9, 10]} for n in (8, 9, 10)}))
        self.assertLessEqual(status["timer_ms"][0], 3600_000)
        self.assertEqual(status["timer_ms"][1:], [None] * 15)
        events = Events(hub)
        self.addCleanup(events.close)
        sent = []
        for what, channel, body, code, length in PULSE_CASES:
            with self.subTest(what):
                got, answer = hub.request("POST", f"/api/channel/{channel}/pulse", body)
                self.assertEqual(got, code, answer)
                if code == 200:
                    self.assertEqual(mask(answer), 0x0001 | 1 << (channel - 1), answer)
                    # The streams hear of the pulse's timer while it runs, then of its end.
                    status = events.until(lambda s: s["timer_ms"][channel - 1] is not None,
                                          f"{what}: its timer")
                    self.assertLessEqual(status["timer_ms"][channel - 1], length)
                    events.until(lambda s: s["timer_ms"][channel - 1] is None and not s[
                        "channels"][channel - 1], f"{what}: its end")
                    sent += [on(channel), off(channel)]
                    wait_for(lambda: len(switches(board)) >= len(sent),
                             f"{what}: the OFF at boardsim", 30)
                    self.assertGreaterEqual(  # stamped in whole ms, never less than the gap
                        round(gap(stamped(board)[-2:], on(channel), off(channel)) * 1000), length)
        self.assertEqual(switches(board), sent, "the switches boardsim received")

        # A pulse restarted with a shorter one changes no channel: its timer still reaches
        # the streams.
        for ms in (5000, 700):
            self.assertEqual(hub.request("POST", "/api/channel/3/pulse", str(ms))[0], 200)
            events.until(lambda s: (s["timer_ms"][2] or ms + 1) <= ms, f"the {ms} ms timer")
        wait_for(lambda: switches(board)[-1:] == [off(3)], "the restarted pulse's end", 30)
        self.assertEqual(switches(board)[len(sent):], [on(3), on(3), off(3)])

        # A reload reaches the streams at once.
        self.config(PULSE_RULES.replace('"Gate"', '"Door"'))
        hub.process.send_signal(signal.SIGHUP)
        while (event := events.next("the reload's event"))[0] != "rules":
            pass
        self.assertEqual(event[1]["rules"][5]["name"], "Door")

    def test_all_on_with_an_interlock(self):
        """The interlocked channels stay as they are, and the answer says the switch done."""
        board = self.start_board("--channels", "0x0001")
        hub = self.start_hub(board.port, "--config", self.config(
            "[[interlock]]\nchannels = [1, 2]\n"))
        status, answer = hub.request("POST", "/api/all", "on")
        self.assertEqual(status, 200, answer)
        self.assertEqual(mask(answer), 0xFFFD, answer)
        wait_for(lambda: switches(board), "the set-all at boardsim", 30)
        self.assertEqual(switches(board), [frame(0x13, 0xFFFD)])

    def test_interlocked_on_waits_for_the_changeover(self):
        """An ON whose partner is on is answered once the hub has made the changeover, which
        takes longer than a switch (the partner's OFF, then dead_ms)."""
        board = self.start_board("--channels", "0x0001")
        hub = self.start_hub(board.port, "--poll-ms", "50", "--config", self.config(
            "[[interlock]]\nchannels = [1, 2]\ndead_ms = 1500\n"))
        status, answer = hub.request("POST", "/api/channel/2", "on")
        self.assertEqual(status, 200, answer)
        self.assertEqual(mask(answer), 0x0002, answer)
        wait_for(lambda: len(switches(board)) >= 2, "the changeover at boardsim", 30)
        self.assertEqual(switches(board), [off(1), on(2)])

    def test_stop_during_a_changeover(self):
        """A switch waiting out a long dead time does not hold up the hub's stop."""
        board = self.start_board("--channels", "0x0001")
        hub = self.start_hub(board.port, "--config", self.config(
            "[[interlock]]\nchannels = [1, 2]\ndead_ms = 60000\n"))
        def switch():
            with contextlib.suppress(OSError, http.client.HTTPException):  # closed by the stop
                hub.request("POST", "/api/channel/2", "on")
        threading.Thread(target=switch, daemon=True).start()
        wait_for(lambda: switches(board) == [off(1)], "the changeover's OFF at boardsim", 30)
        self.assertEqual(hub.stop(), 0, hub.log())

    def test_event_stream_shows_a_switch_made_by_relayctl(self):
        board = self.start_board("--channels", "0x0001")
        hub = self.start_hub(board.port)
        events = Events(hub)
        self.addCleanup(events.close)
        self.assertEqual(events.next("the snapshot"), ("snapshot", events_status(0x0001)))
        self.relayctl(hub, "on 7")
        self.assertEqual(events.next("channel 7's change"), ("status", events_status(0x0041)))
        board.stop()
        self.assertEqual(events.next("the board going down"), ("down", events_status(0x0041)
                                                                | {"connected": False}))

    def test_unconfirmed_and_board_down(self):
        board = self.start_board("--ignore-commands")
        hub = self.start_hub(board.port)
        status, answer = hub.request("POST", "/api/channel/5", "on")
        self.assertEqual((status, mask(answer["status"])), (504, 0), answer)
        self.assertEqual(switches(board), [on(5)])
        board.stop()
        hub.wait_connected(False)
        self.assertEqual(hub.request("POST", "/api/channel/5", "on")[0], 503)

    def test_token_listener_cap_and_slow_requests(self):
        token_file = os.path.join(self.directory, "token")
        with open(token_file, "w", encoding="ascii") as file:
            file.write(TOKEN + "\n")
        board = self.start_board()
        hub = self.start_hub(board.port, "--http-token-file", token_file,
                             "--http-max-listeners", "2")
        for authorization, status in ((None, 401), ("Bearer wrong", 401), (TOKEN, 401),
                                      ("Bearer " + TOKEN, 200)):
            with self.subTest(authorization):
                headers = {"Authorization": authorization} if authorization else {}
                self.assertEqual(hub.request("POST", "/api/channel/1", "on", headers)[0], status)
        self.assertEqual(switches(board), [on(1)])
        self.assertEqual(hub.request("GET", "/api/status")[0], 200, "reading needs no token")

        streams = [Events(hub) for _ in range(2)]
        for events in streams:
            events.next("a listener's snapshot")
        self.assertEqual(hub.stream_status(), 503, "a third listener")
        streams.pop().close()
        # The hub finds the closed stream at its next write, a heartbeat at the latest.
        wait_for(lambda: hub.stream_status() == 200,
                 "the closed listener's place to come free", 60)
        streams[0].close()

        # Half a request line, then nothing: the hub closes the connection by itself.
        slow = socket.create_connection(("127.0.0.1", hub.http_port), timeout=60)
        self.addCleanup(slow.close)
        slow.sendall(b"GET /api/status HT")
        self.assertEqual(slow.recv(4096), b"", "the slow connection was closed")

    def test_sigterm_as_it_starts(self):
        """A SIGTERM pending from the start reaches the hub the moment its web panel has
        started, before the panel's server thread is under way: the hub still exits 0."""
        board = self.start_board()
        for attempt in range(10):
            hub = subprocess.Popen([PROGRAMS["relayhub"], "--board", f"127.0.0.1:{board.port}",
                                    "--listen", "127.0.0.1:0", "--http", "127.0.0.1:0"],
                                   stderr=subprocess.DEVNULL, preexec_fn=lambda: signal.
                                   pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM}))
            hub.send_signal(signal.SIGTERM)
            try:
                self.assertEqual(hub.wait(30), 0, f"attempt {attempt}")
            except subprocess.TimeoutExpired:
                hub.kill()
                hub.wait(30)
                self.fail(f"attempt {attempt}: the hub did not stop within 30 s of SIGTERM")

def events_status(channels):
    return {"connected": True, "channels": [bool(channels >> n & 1) for n in range(16)],
            "mask": f"0x{channels:04X}", "rules": rules(), "timer_ms": [None] * 16}


CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync"]


def chromium(profile, accept_lang=None):
    """Headless Chromium through chromedriver, a fresh profile, nothing but loopback; the
    browser's languages (navigator.languages) are accept_lang when given."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    languages = [f"--accept-lang={accept_lang}"] if accept_lang else []
    for flag in CHROMIUM_FLAGS + languages + [f"--user-data-dir={profile}"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(30)
    driver.set_script_timeout(30)
    return driver


def screen(driver, width, height, mobile, name):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
    path = os.path.join(SCREENSHOTS, name)
    if not driver.save_screenshot(path):
        raise AssertionError(f"no screenshot {path}")
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


# The browser's languages, and for each the page's lang and its own words; its screenshot.
Language = collections.namedtuple(
    "Language", "accept_lang lang all_on all_off up down not_confirmed screenshot")
LANGUAGES = [
    Language("zh-CN", "zh", "全部吸和", "全部断开", "继电器板已连接", "继电器板未连接",
             "继电器板未确认", "relayhub-web-zh.png"),
    Language("en-US", "en", "All on", "All off", "Board connected", "Board not connected",
             "the board did not confirm", "relayhub-web-en.png"),
]

# The page's rules: an auto-off on channel 1 (on from the start), a momentary channel 5 with
# a name, an interlocked pair.
PAGE_RULES = """
[channel.1]
max_on_s = 1800
[channel.5]
name = "Gate"
pulse_ms = 500
[[interlock]]
channels = [6, 7]
"""
# The colours a button has shown, each change once, from when it is watched.
WATCH_COLOURS = """
const button = document.querySelector("button[data-channel='" + arguments[0] + "']");
const colour = () => ["on", "off", "unknown"].find((c) => button.classList.contains(c));
window.colours = [colour()];
new MutationObserver(() => colour() !== window.colours.at(-1) && window.colours.push(colour()))
  .observe(button, {attributes: true});
"""


def seconds(countdown):
    """The seconds a countdown shows ("◷ 29:58" or "◷ 0.4 s")."""
    minutes, _, rest = countdown.removeprefix("◷ ").removesuffix(" s").rpartition(":")
    return float(rest) + 60 * int(minutes or 0)


class BrowserTest(HubTestCase):

    def test_the_page_as_a_user_sees_it(self):
        board, hub = self.start(("--channels", "0x8001", "--toggle", "9", "--toggle-ms", "1500"),
                                ("--config", self.config(PAGE_RULES)),
                                restartable=True)
        # One browser per language on the same hub; the user's walk is taken in the first.
        drivers = []
        for language in LANGUAGES:
            drivers.append(chromium(tempfile.mkdtemp(prefix="chromium-", dir=self.directory),
                                    language.accept_lang))
            self.addCleanup(drivers[-1].quit)
            drivers[-1].get(f"http://127.0.0.1:{hub.http_port}/")
        driver = drivers[0]

        def button(n, driver=driver):
            return driver.find_element("css selector", f"button[data-channel='{n}']")

        def classes(n, driver=driver):
            return button(n, driver).get_attribute("class").split()

        def part(n, name):
            return button(n).find_element("css selector", "." + name).text

        def link(driver):
            return driver.find_element("id", "link").text

        def each_page_says(what, text, deadline):
            for page, language in zip(drivers, LANGUAGES):
                wait_for(lambda: link(page) == text(language),
                         f"the {language.accept_lang} page to show {what}", deadline)

        # 16 buttons in the panel's two columns, GBK captions shown as text.
        shown = wait_for(lambda: len(b := driver.find_elements("css selector", "button.channel"))
                         == 16 and "on" in classes(1) and b, "16 coloured channel buttons", 30)
        order = [n for row in range(1, 9) for n in (row, 17 - row)]
        names = CAPTIONS | {5: "Gate"}
        self.assertEqual([b.find_element("css selector", ".caption").text for b in shown],
                         [names.get(n, f"第{n}路") for n in order])
        self.assertEqual([int(b.get_attribute("data-channel")) for b in shown], order)
        driver.execute_script("window.sameDocument = true")

        # Interlocked channels name each other; channel 1's auto-off counts down.
        self.assertEqual([part(n, "interlock") for n in (6, 7, 8)], ["⇄ 7", "⇄ 6", ""])
        # It moves by itself: between two events (channel 9 flips every 1.5 s) as well.
        def countdown():
            return driver.execute_script(
                "return [document.querySelector(\"button[data-channel='1'] .timer\").textContent,"
                " window.kestrelTimes.length]")

        first = wait_for(lambda: (shown := countdown())[0] and shown, "channel 1's countdown", 30)

        def moved():
            nonlocal first
            shown = countdown()
            if shown[1] != first[1]:
                first = shown
            return shown[0] != first[0] and shown
        later = wait_for(moved, "channel 1's countdown to move with no event", 30)
        self.assertLess(seconds(later[0]), seconds(first[0]), (first, later))
        self.assertEqual(part(16, "timer"), "", "a channel without a timer")

        # The momentary channel is a push button: one click, green, then red by itself.
        self.assertIn("momentary", classes(5))
        driver.execute_script(WATCH_COLOURS, 5)
        button(5).click()
        colours = wait_for(lambda: len(c := driver.execute_script("return window.colours")) >= 3
                           and c, "channel 5 to turn green, then red", 30)
        self.assertEqual(colours, ["off", "on", "off"])
        self.assertEqual(switches(board), [on(5), off(5)])

        # A click on channel 4: the on frame reaches the board, the button turns green.
        self.assertIn("off", classes(4))
        button(4).click()
        wait_for(lambda: on(4) in switches(board), "channel 4's on frame at boardsim", 30)
        wait_for(lambda: "on" in classes(4), "channel 4 to turn green", 30)

        # The board switches channel 9 by itself: the page follows without a reload.
        before = "on" in classes(9)
        wait_for(lambda: ("on" in classes(9)) != before, "channel 9's change on the page", 30)
        self.assertTrue(driver.execute_script("return window.sameDocument === true"))

        # Each page in its browser's language, lang included.
        each_page_says("the board connected", lambda language: language.up, 30)
        for page, language in zip(drivers, LANGUAGES):
            with self.subTest(language.accept_lang):
                self.assertEqual(page.find_element("tag name", "html").get_attribute("lang"),
                                 language.lang)
                self.assertEqual(
                    [b.text for b in page.find_elements("css selector", "button[data-all]")],
                    [language.all_on, language.all_off])
                screen(page, 1280, 800, False, language.screenshot)
        screen(driver, 390, 844, True, "relayhub-web-phone.png")

        # The board goes: the pages say so. It comes back (ignoring commands now): the pages
        # recover, and a switch it does not confirm stays pending, then red, never green, and
        # the page says why in its language.
        board.stop()
        each_page_says("the board gone", lambda language: language.down, 30)
        self.assertIn("unknown", classes(2))
        board = self.restart_board(board.port, "--ignore-commands")
        each_page_says("the board back", lambda language: language.up, 90)
        for n, page, language in zip((2, 3), drivers, LANGUAGES):
            with self.subTest(language.accept_lang):
                self.assertIn("off", classes(n, page))
                button(n, page).click()
                wait_for(lambda: "pending" in classes(n, page), f"channel {n} to show pending",
                         10, 0.02)
                self.assertNotIn("on", classes(n, page))
                message = wait_for(lambda: page.find_element("id", "message").text,
                                   f"the page to say channel {n} was not confirmed", 30)
                self.assertTrue(message.startswith(f"第{n}路"), message)
                self.assertTrue(message.endswith(language.not_confirmed), message)
                self.assertEqual([c for c in classes(n, page) if c in ("on", "off", "pending")],
                                 ["off"])
        self.assertEqual(switches(board), [on(2), on(3)])


def main():
    global SCREENSHOTS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--browser", metavar="SCREENSHOT_DIR",
                        help="run the browser case, saving its screenshots here")
    args = parse_programs(parser)
    SCREENSHOTS = args.browser and os.path.abspath(args.browser)
    run_cases(BrowserTest if args.browser else ApiTest, args)


if __name__ == "__main__":
    main()
