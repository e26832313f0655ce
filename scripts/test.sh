#!/usr/bin/env bash
# Builds both presets and runs every test: native ones directly, Windows ones
# under wine in a private prefix and a private Xvfb. The release builds and their
# packages (amd64, arm64) are built first too: the packaging tests check them.
# Exits non-zero on any failure and leaves no process behind.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows
for preset in release release-arm64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset
  cpack --preset $preset >/dev/null
done

source scripts/env.sh
kestrel_env_start "$root/build/windows"

status=0
ctest --preset native -j2 || status=1
ctest --preset windows || status=1

kestrel_env_stop
exit $status
