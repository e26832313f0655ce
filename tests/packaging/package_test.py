#!/usr/bin/env python3
"""The Debian packages as built (amd64 and arm64): their files, their control fields, a
Depends that covers every library the binaries need, and lintian without errors."""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

TRIPLETS = {"amd64": "x86_64-linux-gnu", "arm64": "aarch64-linux-gnu"}
DEBS = []
VERSION = ""


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True,
                          timeout=300).stdout


def files(triplet):
    return {
        "usr/bin/relayhub", "usr/bin/relayctl", "usr/bin/boardsim",
        f"usr/lib/{triplet}/relayhub/relayhub-web.so",
        "lib/systemd/system/relayhub@.service",
        *(f"usr/share/man/man1/{tool}.1.gz" for tool in ("relayhub", "relayctl", "boardsim")),
        "usr/share/doc/kestrel/copyright", "usr/share/doc/kestrel/changelog.gz",
        "usr/share/doc/kestrel/examples/relayhub.env",
        "usr/share/doc/kestrel/examples/canshu.ini",
        "usr/share/doc/kestrel/examples/relayhub.toml",
        "usr/share/doc/kestrel/examples/relayhub-mqtt-password.conf",
    }


def needed_packages(tree, binaries, triplet):
    """The packages (without :arch) whose libraries of this architecture these ELF files
    name."""
    packages = set()
    for binary in binaries:
        dynamic = output("readelf", "-d", os.path.join(tree, binary))
        for library in re.findall(r"\(NEEDED\)\s+Shared library: \[(\S+)\]", dynamic):
            owner = subprocess.run(["dpkg", "-S", f"*/{library}"], capture_output=True,
                                   text=True, timeout=60).stdout
            # "libmosquitto1:arm64: /usr/lib/aarch64-linux-gnu/libmosquitto.so.1"
            packages |= {line.split(":")[0] for line in owner.splitlines()
                         if re.match(rf"(/usr)?/lib/{triplet}/", line.split(": ", 1)[1])}
    return packages


class PackageTest(unittest.TestCase):
    def test_contents(self):
        for deb in DEBS:
            with self.subTest(deb=os.path.basename(deb)):
                arch = output("dpkg-deb", "-f", deb, "Architecture").strip()
                listing = output("dpkg-deb", "-c", deb)
                shipped = {line.split()[-1].removeprefix("./") for line in listing.splitlines()}
                self.assertLessEqual(files(TRIPLETS[arch]), shipped)
                self.assertEqual(os.path.basename(deb), f"kestrel_{VERSION}_{arch}.deb")

    def test_control(self):
        for deb in DEBS:
            with self.subTest(deb=os.path.basename(deb)):
                info = output("dpkg-deb", "-I", deb)
                fields = dict(re.findall(r"^ (\w[\w-]*): (.*)$", info, re.M))
                self.assertEqual(fields["Package"], "kestrel")
                self.assertEqual(fields["Version"], VERSION)
                depends = {d.split()[0] for d in fields.get("Depends", "").split(", ") if d}
                with tempfile.TemporaryDirectory() as tree:
                    output("dpkg-deb", "-x", deb, tree)
                    arch = fields["Architecture"]
                    binaries = [f"usr/bin/{tool}" for tool in ("relayhub", "relayctl", "boardsim")]
                    binaries.append(f"usr/lib/{TRIPLETS[arch]}/relayhub/relayhub-web.so")
                    needed = needed_packages(tree, binaries, TRIPLETS[arch])
                self.assertIn("libmosquitto1", needed)
                self.assertLessEqual(needed, depends, f"Depends: {fields.get('Depends')}")

    def test_lintian(self):
        for deb in DEBS:
            with self.subTest(deb=os.path.basename(deb)):
                result = subprocess.run(["lintian", "--display-info", deb], capture_output=True,
                                        text=True, timeout=300)
                print(f"lintian {os.path.basename(deb)}:\n{result.stdout}", flush=True)
                errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
                self.assertEqual(errors, [])
                self.assertIn(result.returncode, (0, 1), result.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("debs", nargs="+")
    args = parser.parse_args()
    global VERSION
    VERSION = args.version
    for deb in args.debs:
        if not os.path.isfile(deb):
            raise SystemExit(f"{deb} is missing: scripts/test.sh builds it (cpack --preset ...)")
        DEBS.append(os.path.abspath(deb))
    suite = unittest.TestLoader().loadTestsFromTestCase(PackageTest)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)


if __name__ == "__main__":
    main()
