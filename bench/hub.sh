#!/usr/bin/env bash
# Builds relayhub and boardsim without the test build's sanitizers and prints relayhub's
# table: added latency against a direct connection, idle CPU, memory. About a minute, 30 s
# of it the idle measurement (BENCH_IDLE_SECONDS sets it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
native="$root/build/bench-native"
cmake --preset native -B "$native" -DKESTREL_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" --target relayhub boardsim -j2 >/dev/null
python3 bench/hub_bench.py --relayhub "$native/tools/relayhub/relayhub" \
  --boardsim "$native/tools/boardsim/boardsim"
