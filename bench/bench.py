#!/usr/bin/env python3
"""Runs every benchmark of the panel under wine and prints the table: what, how it was
measured, the result, its floor, the ratio and the target. Timings are printed, never
judged to pass or fail; the last column only says whether this run met the target.

Started by bench/run.sh, which builds the programs and provides the wine server and X
display. BENCH_IDLE_SECONDS (default 60) sets the length of each idle measurement.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

# bench_common puts the tests' helpers on the path: the imports after it.
from bench_common import memory_kb
from panel_driver import Boardsim, Panel, Paths, run, settings_file, wait_for


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


IDLE_SECONDS = int(os.environ.get("BENCH_IDLE_SECONDS", "60"))
START_RUNS = 5

ROWS = []


def row(what, how, result, floor, unit, target, met):
    ratio = f"{result / floor:.1f}" if floor else "-"
    verdict = "-" if met is None else "yes" if met else "NO"
    ROWS.append((what, how, f"{result:.4g} {unit}", f"{floor:.4g} {unit}" if floor else "-",
                 ratio, target, verdict))


def figures(output):
    """'name value' lines into a dict of floats."""
    values = {}
    for line in output.splitlines():
        parts = line.split()
        if len(parts) == 2:
            values[parts[0]] = float(parts[1])
    return values


def bench(*args, timeout=300):
    """Runs kestrel_bench.exe in a directory of its own (it writes canshu.ini there)."""
    with tempfile.TemporaryDirectory(prefix="kestrel-bench-") as directory:
        result = subprocess.run(["wine", Paths.bench, *map(str, args)], cwd=directory,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                                env=dict(os.environ, LC_ALL="zh_CN.GBK", WINEDEBUG="-all"))
    values = figures(result.stdout.decode())
    if result.returncode != 0 or not values:
        sys.exit(f"bench: kestrel_bench {' '.join(map(str, args))} failed: "
                 f"{result.stderr.decode()[-500:]}")
    return values


def with_flood(frames, *args, chunk=None):
    """kestrel_bench with its port argument set to a boardsim that floods frames."""
    with tempfile.TemporaryDirectory(prefix="kestrel-bench-") as directory:
        board = Boardsim(directory, "--flood", str(frames))
        try:
            return bench(*args, board.port, *([chunk] if chunk else []))
        finally:
            board.stop()


def paint():
    result = run("wine", Paths.paint)
    values = figures(result.stdout.decode())
    if result.returncode != 0 or "paint_floor_us" not in values:
        sys.exit(f"bench: paint_bench failed: {result.stderr.decode()[-500:]}")
    for state in ("normal", "focus", "pressed", "disabled"):
        us = values[f"paint_{state}_us"]
        row(f"paint, {state}", "DrawItem of channel 1 into a 32-bit DIB section, median of 7x2000;"
            " floor FillRect+DrawText", us, values["paint_floor_us"], "us", "< 50 us", us < 50)


def latencies():
    floor = bench("loopback", 300)["loopback_us_median"] / 1000
    lat = bench("latency", 300)
    median, p99 = lat["frame_to_screen_us_median"] / 1000, lat["frame_to_screen_us_p99"] / 1000
    how = ("instrumented (kestrel_bench): send by a board thread in the panel's process to the"
           " 16th channel WM_DRAWITEM; floor 8 bytes over loopback, thread to thread")
    row("status frame to screen, median", how, median, floor, "ms", "< 5 ms", median < 5)
    row("status frame to screen, p99", how, p99, floor, "ms", "< 20 ms", p99 < 20)
    apply = lat["frame_to_apply_us_median"] / 1000
    row("status frame to applied (no paint), median", how, apply, floor, "ms", "-", None)
    click = bench("click", 200)["click_to_wire_us_median"] / 1000
    row("click to wire, median", "instrumented: WM_LBUTTONUP leaves the panel's queue to the"
        " frame read by the in-process board; floor as above", click, floor, "ms", "< 2 ms",
        click < 2)


def throughput():
    panel = with_flood(2000, "throughput", 2000)
    raw1 = with_flood(5000, "rawread", 5000, chunk=1)["raw1_frames_per_s"]
    rawbig = with_flood(50000, "rawread", 50000, chunk=65536)["raw65536_frames_per_s"]
    fps = panel["panel_frames_per_s"]
    lost = panel["panel_frames_sent"] - min(panel["panel_frames_applied"],
                                            panel["panel_frames_sent"])
    row("receive throughput, panel", f"boardsim --flood 2000 into kestrel_bench, frames applied"
        f" per s ({lost:.0f} lost); floor raw 1-byte recv in one process", fps, raw1,
        "frames/s", "none lost", lost == 0)
    row("receive throughput, raw 64 KiB reads", "same stream, recv of 64 KiB, no hand-off",
        rawbig, raw1, "frames/s", "-", None)


def bad_frames():
    """Bad-checksum frames: the hand-off and the reassembly alone, no repaint."""
    panel, floor = [], []
    for _ in range(3):
        floor.append(bench("badfloor", 2000)["floor_bad_frames_per_s"])
        panel.append(bench("badframes", 2000)["panel_bad_frames_per_s"])
    p, f = statistics.median(panel), statistics.median(floor)
    row("bad-checksum frames", "2000 frames from a board thread in the process, handed off a byte"
        " at a time and dropped by the reassembly, median of 3; floor a plain window procedure"
        " and thread doing the same", p, f, "frames/s", ">= 0.9 x floor", p >= 0.9 * f)


PANEL_CAPTION, FLOOR_CAPTION = r"^Kestrel V1\.35$", r"^Kestrel floor$"
CONTROLS_FLOOR_CAPTION = r"^Kestrel controls floor$"


def launch(command, directory):
    return subprocess.Popen(["wine", command], cwd=directory, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, LC_ALL="zh_CN.GBK", WINEDEBUG="-all"))


def launch_visible(command, caption, directory):
    """Starts the program and waits until its window is visible to X; returns the process
    and the seconds that took. Wine's desktop process sometimes fails to start with it
    (the program then ends at once, showing nothing): that launch is made again."""
    for _ in range(3):
        start = time.monotonic()
        process = launch(command, directory)
        shown = wait_for(lambda: process.poll() is not None or subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", caption],
            capture_output=True).returncode == 0, caption, timeout=60, interval=0.005)
        took = time.monotonic() - start
        if process.poll() is None and shown:
            return process, took
        time.sleep(1)
    sys.exit(f"bench: {command} ended three times without showing its window")


def end(process, caption):
    process.kill()
    process.wait()
    wait_for(lambda: subprocess.run(["xdotool", "search", "--name", caption],
                                    capture_output=True).returncode != 0,
             f"{caption} to go", timeout=30)


def start_up():
    """Launch to the window shown: the panel's settings are read before it shows."""
    def once(command, caption, directory):
        process, took = launch_visible(command, caption, directory)
        end(process, caption)
        return took

    panel, floor = [], []
    with tempfile.TemporaryDirectory(prefix="kestrel-bench-") as directory:
        with open(os.path.join(directory, "canshu.ini"), "wb") as f:
            f.write(settings_file(1))
        for _ in range(START_RUNS):
            floor.append(once(Paths.floor, FLOOR_CAPTION, directory))
            panel.append(once(Paths.kestrel, PANEL_CAPTION, directory))
    p, f = statistics.median(panel) * 1000, statistics.median(floor) * 1000
    row("start-up", f"launch of wine to the window visible to X (xdotool), median of"
        f" {START_RUNS}, alternating with the floor", p, f, "ms", "<= 1.3 x floor", p <= 1.3 * f)


def lean_start():
    """Start-up and resident memory against the floor with the panel's own template and
    tooltips, alternating, with canshu.ini pointing at a local boardsim."""
    settle = 2  # seconds after the window shows (the panel: after connecting) before reading
    starts, floor_starts, resident, floor_resident = [], [], [], []
    with tempfile.TemporaryDirectory(prefix="kestrel-bench-") as directory:
        board = Boardsim(directory, "--channels", "0x8005")
        try:
            with open(os.path.join(directory, "canshu.ini"), "wb") as f:
                f.write(settings_file(board.port))
            for _ in range(START_RUNS):
                time.sleep(1)  # the last run's processes have gone from the wine server
                floor, took = launch_visible(Paths.controls_floor, CONTROLS_FLOOR_CAPTION,
                                             directory)
                floor_starts.append(took)
                time.sleep(settle)
                floor_resident.append(memory_kb(floor.pid))
                end(floor, CONTROLS_FLOOR_CAPTION)

                time.sleep(1)
                process, took = launch_visible(Paths.kestrel, PANEL_CAPTION, directory)
                starts.append(took)
                end(process, PANEL_CAPTION)

                panel = Panel(settings_file(board.port))
                try:
                    panel.wait_shown()
                    if panel.connect() != "建立连接成功":
                        sys.exit("bench: the panel did not connect to boardsim")
                    time.sleep(settle)
                    resident.append(panel.memory_kb("VmRSS"))
                finally:
                    panel.stop()
        finally:
            board.stop()
    p, f = statistics.median(starts) * 1000, statistics.median(floor_starts) * 1000
    row("start-up, controls floor", f"launch of wine to the window visible to X (xdotool), median"
        f" of {START_RUNS}, alternating; floor: the panel's template and 18 tooltips, plain"
        " Win32", p, f, "ms", "<= 1.2 x floor", p <= 1.2 * f)
    p, f = statistics.median(resident) / 1024, statistics.median(floor_resident) / 1024
    row("resident after connecting", f"VmRSS {settle} s after connecting to boardsim and closing"
        f" the message box, median of {START_RUNS}, alternating; floor as above, {settle} s"
        " after it shows", p, f, "MiB", "<= 1.1 x floor", p <= 1.1 * f)


def idle():
    """CPU per wall second over IDLE_SECONDS, and peak resident size, panel and floor."""
    server = int(os.environ["KESTREL_WINESERVER_PID"])

    def measure(pid):
        time.sleep(5)  # start-up and the first frames are not idle
        own, srv, wall = cpu_seconds(pid), cpu_seconds(server), time.monotonic()
        time.sleep(IDLE_SECONDS)
        wall = time.monotonic() - wall
        return ((cpu_seconds(pid) - own) / wall * 100, (cpu_seconds(server) - srv) / wall * 100)

    with tempfile.TemporaryDirectory(prefix="kestrel-bench-") as directory:
        # 500 frames on connecting (painted), then silence: the panel keeps polling.
        board = Boardsim(directory, "--silent", "--flood", "500", "--channels", "0x8005")
        panel = Panel(settings_file(board.port))
        try:
            panel.wait_shown()
            if panel.connect() != "建立连接成功":
                sys.exit("bench: the panel did not connect to boardsim")
            panel_cpu, panel_server = measure(panel.pid)
            panel_hwm = panel.memory_kb("VmHWM")
        finally:
            panel.stop()
            board.stop()
        floor = subprocess.Popen(["wine", Paths.floor], cwd=directory, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 env=dict(os.environ, LC_ALL="zh_CN.GBK", WINEDEBUG="-all"))
        try:
            floor_cpu, floor_server = measure(floor.pid)
            with open(f"/proc/{floor.pid}/status", encoding="ascii") as status:
                floor_hwm = next(int(line.split()[1]) for line in status
                                 if line.startswith("VmHWM:"))
        finally:
            floor.kill()
            floor.wait()
    how = (f"utime+stime of the wine process per wall second over {IDLE_SECONDS} s, connected"
           " to boardsim --silent (polling every 600 ms); floor: the floor dialog")
    row("idle CPU while connected", how, panel_cpu, floor_cpu, "% core",
        "<= 1.5 x floor and < 1 %", panel_cpu <= 1.5 * floor_cpu and panel_cpu < 1)
    row("  wineserver meanwhile", "the same, of the wine server (shared by all wine processes)",
        panel_server, floor_server, "% core", "-", None)
    row("peak resident size", "VmHWM after the idle run (500 frames applied, 60 s polling)",
        panel_hwm / 1024, floor_hwm / 1024, "MiB", "<= 1.2 x floor", panel_hwm <= 1.2 * floor_hwm)


def print_table():
    header = ("what", "how measured", "result", "floor", "ratio", "target", "met")
    widths = [max(len(str(r[i])) for r in ROWS + [header]) for i in range(len(header))]
    widths[1] = min(widths[1], 60)
    for r in [header] + ROWS:
        cells = [str(c) if i != 1 else str(c)[:60] for i, c in enumerate(r)]
        print(" | ".join(c.ljust(w) for c, w in zip(cells, widths)))
    print("\nHow each figure is measured, in full:")
    for r in ROWS:
        print(f"- {r[0]}: {r[1]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("kestrel", "bench", "floor", "controls-floor", "paint", "probe", "boardsim"):
        parser.add_argument(f"--{name}", required=True)
    steps = (paint, latencies, throughput, bad_frames, start_up, lean_start, idle)
    parser.add_argument("--steps", default=",".join(step.__name__ for step in steps),
                        help="the steps to run, by name, comma-separated")
    args = parser.parse_args()
    Paths.kestrel, Paths.probe, Paths.boardsim = args.kestrel, args.probe, args.boardsim
    Paths.bench, Paths.floor, Paths.paint = args.bench, args.floor, args.paint
    Paths.controls_floor = args.controls_floor
    for step in (step for step in steps if step.__name__ in args.steps.split(",")):
        print(f"bench: {step.__name__} ...", file=sys.stderr, flush=True)
        step()
    print_table()


if __name__ == "__main__":
    main()
