#!/usr/bin/env bash
# Builds the release artefacts into build/release/: the Windows zip, the Debian packages
# for amd64 and arm64 (Raspberry Pi OS 64-bit), and SHA256SUMS over them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh

version=$(sed -n 's/^project(kestrel VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
out=build/release
rm -rf "$out"
mkdir -p "$out"
cmake --preset windows >/dev/null
cmake --build --preset windows --target package
cp "build/windows/kestrel-$version-win64.zip" "$out/"
for preset in release release-arm64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset
  cpack --preset $preset >/dev/null
done
cp "build/release-amd64/kestrel_${version}_amd64.deb" "build/release-arm64/kestrel_${version}_arm64.deb" "$out/"
(cd "$out" && sha256sum -- *.zip *.deb >SHA256SUMS)
ls -l "$out"
