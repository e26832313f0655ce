#!/usr/bin/env bash
# Builds relayhub and boardsim without the test build's sanitizers and prints the web
# panel's table: board to the page's colour in headless Chromium (50 changes), and the
# hub's memory with 32 event listeners. About half a minute.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
native="$root/build/bench-native"
cmake --preset native -B "$native" -DKESTREL_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" --target relayhub boardsim -j2 >/dev/null
# Debian's python3: it has python3-selenium.
/usr/bin/python3 bench/web_bench.py --relayhub "$native/tools/relayhub/relayhub" \
  --boardsim "$native/tools/boardsim/boardsim"
