#!/usr/bin/env bash
# The reliability suite in its long form: a 30 s flood, 1 MiB of garbage, 200 link
# flaps, 100,000 status frames and 1,000 About boxes. Takes about 22 minutes here;
# every loop is bounded. Extra arguments go to the suite (e.g. a single test class).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target boardsim >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target kestrel panelprobe >/dev/null

source scripts/env.sh
kestrel_env_start "$root/build/windows"
win="$root/build/windows"
python3 tests/soak/soak_test.py --long --kestrel "$win/panel/kestrel.exe" \
  --probe "$win/tests/panelprobe/panelprobe.exe" \
  --boardsim "$root/build/native/tools/boardsim/boardsim" "$@"
