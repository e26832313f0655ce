#!/usr/bin/env python3
"""relayhub's channel rules, timed at boardsim's frame log: the length of 500 ms pulses,
an interlock's changeover beyond its dead time, and the hub's resident memory with every
channel given rules. Figures are printed, never judged to pass or fail; the last column
only says whether this run met the target.

Started by bench/hub.sh rules, which builds relayhub and boardsim without sanitizers.
"""

import os
import sys
import tempfile
import time

# bench_common puts the tests' helpers on the path: the imports after it.
from bench_common import connect, memory_kb, parse_programs, percentile, print_table
from panel_driver import Boardsim, frame, wait_for
from relayhub_test import Hub
from rules_test import stamped

PULSES = 20
PULSE_MS = 500
CHANGEOVERS = 20
DEAD_MS = 200

# Every channel with a rule: 5 momentary, 1 and 2 a motor, 3 and 4 valves, the rest limits
# and power-on states.
CONFIG = f"""
[channel.5]
name = "Gate"
pulse_ms = {PULSE_MS}
[[interlock]]
channels = [1, 2]
dead_ms = {DEAD_MS}
[[interlock]]
channels = [3, 4]
dead_ms = 1000
""" + "".join(f"""
[channel.{n}]
name = "Load {n}"
max_on_s = {600 * n}
power_on = "{['off', 'on', 'last', 'board'][n % 4]}"
""" for n in range(6, 17))


def wait_switches(board, count, what):
    return wait_for(lambda: len(got := stamped(board)) >= count and got, what, timeout=30,
                    interval=0.01)


def main():
    parse_programs(__doc__)
    rows = []
    with tempfile.TemporaryDirectory(prefix="kestrel-rules-bench-") as directory:
        config = os.path.join(directory, "relayhub.toml")
        with open(config, "w", encoding="utf-8") as file:
            file.write(CONFIG)
        board = Boardsim(directory)
        hub = Hub(directory, board.port, "--config", config, "--state-dir", directory)
        try:
            hub.wait_log(r"board \S+ up", "the board up")
            client = connect(hub.port)

            # The power_on rules' one set-all first.
            hub.wait_log(r"set-all to .*: the board came up", "the power_on set-all")
            base = len(wait_switches(board, 1, "the power_on set-all"))
            print("bench: pulses ...", file=sys.stderr, flush=True)
            errors = []
            for i in range(PULSES):
                client.sendall(frame(0x12, 5))
                got = wait_switches(board, base + 2 * (i + 1), "the pulse's off")
                (on_at, on), (off_at, off) = got[-2:]
                assert (on, off) == (frame(0x12, 5), frame(0x11, 5)), got[-2:]
                errors.append((off_at - on_at) * 1000 - PULSE_MS)
                time.sleep(0.05)
            for label, p in (("median", 50), ("p99", 99)):
                target = 5 if p == 50 else 20
                value = percentile(errors, p)
                rows.append((f"pulse length error, {label}", f"{value:.1f} ms", f"< {target} ms",
                             "yes" if abs(value) < target else "NO"))

            print("bench: changeovers ...", file=sys.stderr, flush=True)
            client.sendall(frame(0x12, 1))
            before = len(wait_switches(board, base + 2 * PULSES + 1, "channel 1 on"))
            overheads, latencies = [], []
            for i in range(CHANGEOVERS):
                channel, other = (2, 1) if i % 2 == 0 else (1, 2)
                asked = time.time()
                client.sendall(frame(0x12, channel))
                got = wait_switches(board, before + 2 * (i + 1), "the changeover")
                (off_at, off), (on_at, on) = got[-2:]
                assert (off, on) == (frame(0x11, other), frame(0x12, channel)), got[-2:]
                # boardsim answers the OFF as it logs it: that is the confirmation's time.
                overheads.append((on_at - off_at) * 1000 - DEAD_MS)
                latencies.append((on_at - asked) * 1000)
            value = percentile(overheads, 50)
            rows.append(("interlock changeover beyond dead_ms, median", f"{value:.1f} ms",
                         "< 20 ms", "yes" if value < 20 else "NO"))
            rows.append(("interlock changeover beyond dead_ms, p99",
                         f"{percentile(overheads, 99):.1f} ms", "-", "-"))
            rows.append((f"ON request to ON at the board (dead_ms {DEAD_MS}), median",
                         f"{percentile(latencies, 50):.1f} ms", "-", "-"))
            rss, peak = memory_kb(hub.process.pid), memory_kb(hub.process.pid, "VmHWM")
            rows.append(("resident memory, every channel with rules, no --http",
                         f"{rss / 1024:.1f} MiB (peak {peak / 1024:.1f})", "< 8 MiB",
                         "yes" if peak < 8192 else "NO"))
            client.close()
        finally:
            hub.stop()
            board.stop()
    print_table(("What", "Result", "Target", "Met"), rows)
    print(f"\nPulses: {PULSES} of {PULSE_MS} ms on a momentary channel, each an ON from a raw "
          "client; the error is boardsim's log time of the hub's OFF minus that of the ON, "
          f"minus {PULSE_MS} ms (the log has milliseconds). Changeovers: {CHANGEOVERS} ONs "
          "alternating between the channels of an interlock, each with the other on; beyond "
          f"dead_ms is the log time of the ON minus that of the OFF (boardsim answers the OFF "
          f"as it logs it) minus dead_ms {DEAD_MS}. Memory: VmRSS (VmHWM) after both runs, "
          "all 16 channels with rules, one client connected.")


if __name__ == "__main__":
    main()
