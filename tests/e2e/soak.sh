#!/usr/bin/env bash
# The long soak, for a person: N connections (default 20) to a board that floods 5,000
# status frames on each, two clicks per connection checked at the board and on the
# screen, and the panel's resident memory after the last against the first. About 25
# minutes here; stopped after an hour whatever happens.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset native >/dev/null && cmake --build --preset native --target boardsim >/dev/null
cmake --preset windows >/dev/null && cmake --build --preset windows --target kestrel panelprobe >/dev/null
source scripts/env.sh
kestrel_env_start "$root/build/windows"
win="$root/build/windows"
timeout 1h python3 tests/e2e/e2e_test.py --soak "${1:-20}" --kestrel "$win/panel/kestrel.exe" \
  --probe "$win/tests/panelprobe/panelprobe.exe" --boardsim "$root/build/native/tools/boardsim/boardsim" \
  PanelTest.test_clicks_while_the_board_floods
