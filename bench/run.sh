#!/usr/bin/env bash
# Builds the benchmark programs (and kestrel.exe, boardsim) and runs every benchmark
# under wine in a private Xvfb, printing the table. Takes about six minutes, two of
# them idle measurements (BENCH_IDLE_SECONDS, default 60, sets each). Arguments go to
# bench.py (--steps NAME,... runs a subset).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
# boardsim without the test build's sanitizers, so the board is not what is slow;
# the Windows programs are the test build's own.
native="$root/build/bench-native"
win="$root/build/windows"
cmake --preset native -B "$native" -DKESTREL_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" --target boardsim >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target bench panelprobe >/dev/null

source scripts/env.sh
kestrel_env_start "$win"
export KESTREL_WINESERVER_PID
python3 bench/bench.py --kestrel "$win/panel/kestrel.exe" --bench "$win/bench/kestrel_bench.exe" \
  --floor "$win/bench/bench_floor.exe" --controls-floor "$win/bench/bench_controls_floor.exe" \
  --paint "$win/bench/paint_bench.exe" \
  --probe "$win/tests/panelprobe/panelprobe.exe" --boardsim "$native/tools/boardsim/boardsim" "$@"
