"""A real mosquitto broker on a free loopback port with a config file of its own, and
mosquitto_sub processes that record what it delivers, for relayhub's MQTT tests."""

import os
import random
import socket
import subprocess
import threading
from dataclasses import dataclass

from panel_driver import wait_for


def unused(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def free_port():
    """Outside the kernel's ephemeral range, so that no outgoing connection (the hub's
    reconnect to itself, say) takes the port while the broker is down."""
    return wait_for(lambda: unused(port := random.randrange(20000, 32000)) and port,
                    "a free port")


@dataclass(frozen=True)
class TlsListener:
    """The broker's certificate (a certs.Pair) and the CA file that the test's own clients
    trust; with client (a Pair) the broker wants a client certificate signed by ca, and the
    test's clients show that one."""
    ca: str
    server: object
    client: object = None

    def config(self):
        return [f"cafile {self.ca}", f"certfile {self.server.cert}",
                f"keyfile {self.server.key}",
                f"require_certificate {'true' if self.client else 'false'}"]

    def client_options(self):
        mine = ["--cert", self.client.cert, "--key", self.client.key] if self.client else []
        return ["--cafile", self.ca, *mine]


class Broker:
    """mosquitto on 127.0.0.1, anonymous or with the users {name: password}, over TLS
    with tls (a TlsListener); no persistence, so a restart forgets every retained
    message."""

    def __init__(self, directory, users=None, tls=None):
        self.port = free_port()
        # the test's own clients log in as the first user
        self.login = ["-u", *next(iter(users.items()))] if users else []
        self.login[2:2] = ["-P"] if users else []
        self.users = []
        if users:
            passwords = os.path.join(directory, f"mosquitto-{self.port}.passwd")
            open(passwords, "w", encoding="ascii").close()
            for name, password in users.items():
                subprocess.run(["mosquitto_passwd", "-b", passwords, name, password],
                               check=True, timeout=30, capture_output=True)
            self.users = ["allow_anonymous false", f"password_file {passwords}"]
        self.config = os.path.join(directory, f"mosquitto-{self.port}.conf")
        self.log = os.path.join(directory, f"mosquitto-{self.port}.log")
        self.configure(tls)
        self.start()

    def configure(self, tls):
        """The listener's TLS from the next start on."""
        config = [f"listener {self.port} 127.0.0.1", "persistence false", "user root",
                  f"log_dest file {self.log}", "log_type notice",
                  *(self.users or ["allow_anonymous true"]), *(tls.config() if tls else [])]
        with open(self.config, "w", encoding="ascii") as file:
            file.write("\n".join(config) + "\n")
        self.options = [*self.login, *(tls.client_options() if tls else [])]

    def start(self):
        self.process = subprocess.Popen(["mosquitto", "-c", self.config],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_for(self.accepts, f"mosquitto on port {self.port}", timeout=30)

    def connections(self):
        """How many connections it has taken, its own test of accepts included."""
        with open(self.log, encoding="utf-8", errors="replace") as log:
            return log.read().count("New connection from")

    def accepts(self):
        with socket.socket() as s:
            return s.connect_ex(("127.0.0.1", self.port)) == 0

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(30)

    def publish(self, topic, payload, retain=False):
        message = ["-m", payload] if payload else ["-n"]
        subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(self.port), "-t", topic,
                        *self.options, *message, *(["-r"] if retain else [])], check=True,
                       timeout=30)

    def subscribe(self, *topics):
        return Subscriber(self.port, topics, *self.options)

    def retained(self, topic, count):
        """{topic: payload} of the first count retained messages under topic."""
        reader = Subscriber(self.port, [topic], *self.options, "--retained-only", "-C",
                            str(count), "-W", "30")
        return {t: p for _, t, p in reader.wait_exit()}


class Subscriber:
    """mosquitto_sub; what it receives as (retained, topic, payload) in arrival order."""

    def __init__(self, port, topics, *options):
        command = ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-F", "%r %t %x",
                   *options]
        for topic in topics:
            command += ["-t", topic]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, text=True)
        self.received = []
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            retained, topic, payload = line.rstrip("\n").split(" ", 2)
            with self.lock:
                self.received.append((retained == "1", topic,
                                      bytes.fromhex(payload).decode("utf-8")))

    def messages(self, since=0):
        with self.lock:
            return self.received[since:]

    def latest(self, topic):
        return next((p for _, t, p in reversed(self.messages()) if t == topic), None)

    def wait(self, condition, what):
        return wait_for(condition, what, timeout=30)

    def wait_exit(self):
        self.process.wait(60)
        self.reader.join(30)
        self.process.stdout.close()
        return self.messages()

    def stop(self):
        self.process.terminate()
        self.wait_exit()
