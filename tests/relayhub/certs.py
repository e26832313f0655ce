"""Certificates made with the openssl command at test time, for the hub's TLS tests.

make_certs(directory) writes, under directory/certs:
  ca                 the CA that signs everything below but other_*
  server             localhost and 127.0.0.1 (subjectAltName), valid now
  client             a client certificate (clientAuth), key readable by its owner only
  locked_client_key  the client's key with the passphrase "kestrel"
  expired            localhost and 127.0.0.1, valid only in the past
  wrong_host         signed by ca, but for other.invalid only
  other_ca           a second CA
  other_server       localhost and 127.0.0.1, signed by other_ca

Each is a Pair(cert, key) of paths; the CAs' keys are there for signing more. The
directory and the server files are readable by all, because mosquitto drops to its own
user before it reads them; the client key is 0600 as a user would keep it."""

import os
import subprocess
from dataclasses import dataclass

EC_KEY = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
LOOPBACK = "subjectAltName=DNS:localhost,IP:127.0.0.1"


@dataclass(frozen=True)
class Pair:
    cert: str
    key: str


@dataclass(frozen=True)
class Certs:
    directory: str
    ca: Pair
    server: Pair
    client: Pair
    expired: Pair
    wrong_host: Pair
    other_ca: Pair
    other_server: Pair
    locked_client_key: str


def openssl(*arguments, cwd=None):
    subprocess.run(["openssl", *arguments], check=True, timeout=60, cwd=cwd,
                   stdin=subprocess.DEVNULL, capture_output=True)


def write(path, text):
    with open(path, "w", encoding="ascii") as file:
        file.write(text)
    return path


class Maker:
    def __init__(self, directory):
        self.directory = directory

    def path(self, name):
        return os.path.join(self.directory, name)

    def ca(self, name):
        pair = Pair(self.path(f"{name}.crt"), self.path(f"{name}.key"))
        openssl("req", "-x509", *EC_KEY, "-keyout", pair.key, "-out", pair.cert, "-days", "30",
                "-subj", f"/CN=Kestrel test {name}", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        return pair

    def request(self, name, common_name):
        pair = Pair(self.path(f"{name}.crt"), self.path(f"{name}.key"))
        openssl("req", "-new", *EC_KEY, "-keyout", pair.key, "-out", self.path(f"{name}.csr"),
                "-subj", f"/CN={common_name}")
        return pair

    def extensions(self, name, names, usage):
        return write(self.path(f"{name}.ext"),
                     f"{names}\nextendedKeyUsage={usage}\nbasicConstraints=CA:FALSE\n")

    def signed(self, name, ca, common_name="localhost", names=LOOPBACK, usage="serverAuth"):
        pair = self.request(name, common_name)
        openssl("x509", "-req", "-in", self.path(f"{name}.csr"), "-CA", ca.cert, "-CAkey", ca.key,
                "-CAcreateserial", "-days", "30", "-out", pair.cert,
                "-extfile", self.extensions(name, names, usage))
        return pair

    def expired(self, name, ca):
        """Through `openssl ca`, the one command here that takes a start date in the past."""
        pair = self.request(name, "localhost")
        database = self.path(f"{name}-ca")
        os.makedirs(database, exist_ok=True)
        write(os.path.join(database, "index.txt"), "")
        config = write(os.path.join(database, "ca.cnf"), f"""[ca]
default_ca = past
[past]
database = {database}/index.txt
new_certs_dir = {database}
serial = {database}/serial
default_md = sha256
policy = anything
x509_extensions = server
[anything]
commonName = supplied
[server]
{LOOPBACK}
extendedKeyUsage = serverAuth
basicConstraints = CA:FALSE
""")
        write(os.path.join(database, "serial"), "01\n")
        openssl("ca", "-batch", "-config", config, "-cert", ca.cert, "-keyfile", ca.key,
                "-in", self.path(f"{name}.csr"), "-out", pair.cert, "-notext",
                "-startdate", "20200101000000Z", "-enddate", "20200201000000Z")
        return pair


def make_certs(directory):
    """A fresh set under directory/certs; see the module's text."""
    where = os.path.join(directory, "certs")
    os.makedirs(where, exist_ok=True)
    maker = Maker(where)
    ca, other_ca = maker.ca("ca"), maker.ca("other-ca")
    certs = Certs(
        directory=where, ca=ca, other_ca=other_ca,
        server=maker.signed("server", ca),
        client=maker.signed("client", ca, "kestrel-hub", "subjectAltName=DNS:kestrel-hub",
                            "clientAuth"),
        expired=maker.expired("expired", ca),
        wrong_host=maker.signed("wrong-host", ca, "other.invalid",
                                "subjectAltName=DNS:other.invalid"),
        other_server=maker.signed("other-server", other_ca),
        locked_client_key=maker.path("client-locked.key"))
    openssl("pkey", "-in", certs.client.key, "-aes256", "-passout", "pass:kestrel",
            "-out", certs.locked_client_key)
    for parent in (directory, where):
        os.chmod(parent, 0o755)
    for name in os.listdir(where):
        if os.path.isfile(path := os.path.join(where, name)):
            os.chmod(path, 0o644)
    os.chmod(certs.client.key, 0o600)
    return certs


if __name__ == "__main__":
    import sys
    if len(sys.argv) != 2:
        sys.exit("usage: certs.py DIRECTORY  (makes DIRECTORY/certs)")
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, value in vars(make_certs(sys.argv[1])).items():
        print(f"{name}: {value}")
