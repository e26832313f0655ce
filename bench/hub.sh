#!/usr/bin/env bash
# Builds relayhub and boardsim without the test build's sanitizers and prints relayhub's
# tables. hub: added latency against a direct connection, idle CPU and memory (about a
# minute, 30 s of it the idle measurement, BENCH_IDLE_SECONDS sets it). web: board to the
# page's colour in headless Chromium (50 changes) and memory with 32 event listeners
# (about half a minute). metrics: a scrape of /metrics with 16 clients connected (a few
# seconds). rules: the channel rules' timing at boardsim's log (20 pulses, 20 interlock
# changeovers) and memory with every channel given rules (about 20 s). mqtt: a status frame
# to an MQTT subscriber, plain against TLS, and the memory of a hub with TLS (about half a
# minute). All of them without an argument. release: the hub table twice, for the
# package's build (release preset) and for the sanitizer test build (native preset).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
which=${1:-all}

scripts/setup.sh --linux-tools
if [ "$which" = release ]; then
  for preset in release native; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target relayhub boardsim >/dev/null
  done
  for build in release-amd64 native; do
    echo "relayhub of build/$build:"
    python3 bench/hub_bench.py --relayhub "build/$build/tools/relayhub/relayhub" \
      --boardsim build/release-amd64/tools/boardsim/boardsim
  done
  exit 0
fi
native="$root/build/bench-native"
cmake --preset native -B "$native" -DKESTREL_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" --target relayhub boardsim -j2 >/dev/null
programs=(--relayhub "$native/tools/relayhub/relayhub" --boardsim "$native/tools/boardsim/boardsim")
if [ "$which" = all ] || [ "$which" = hub ]; then
  python3 bench/hub_bench.py "${programs[@]}"
fi
if [ "$which" = all ] || [ "$which" = rules ]; then
  python3 bench/rules_bench.py "${programs[@]}"
fi
if [ "$which" = all ] || [ "$which" = mqtt ]; then
  python3 bench/mqtt_bench.py --relayhub "$native/tools/relayhub/relayhub"
fi
if [ "$which" = all ] || [ "$which" = web ]; then
  # Debian's python3: it has python3-selenium.
  /usr/bin/python3 bench/web_bench.py "${programs[@]}"
fi
if [ "$which" = all ] || [ "$which" = metrics ]; then
  python3 bench/metrics_bench.py "${programs[@]}"
fi
