#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine (as root) lacks for building and testing
# Kestrel. Idempotent; silent when everything is present.
#   scripts/setup.sh                everything: the Windows panel, the Linux tools, their
#                                   packages for amd64 and arm64 and the packages' tests
#   scripts/setup.sh --linux-tools  only what relayhub, relayctl and boardsim need to be
#                                   built (native and release presets) and tested
set -euo pipefail

linux_tools=(
  cmake make g++ clang googletest pkg-config
  libmosquitto-dev nlohmann-json3-dev libmicrohttpd-dev libgnutls28-dev libtomlplusplus-dev
  libsystemd-dev libssl-dev openssl
  netcat-openbsd procps python3 mosquitto mosquitto-clients curl iproute2
  chromium chromium-driver python3-selenium python3-prometheus-client
  help2man dpkg-dev
)
windows=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-wqy-zenhei
)
# The arm64 package is cross-built against Debian's multiarch -dev packages and run under
# qemu; the amd64 one is checked by lintian and booted in a container.
packages=(
  g++-aarch64-linux-gnu qemu-user-static file
  libmosquitto-dev:arm64 libmicrohttpd-dev:arm64 libgnutls28-dev:arm64 libtomlplusplus-dev:arm64 libsystemd-dev:arm64
  libssl-dev:arm64
  lintian debootstrap systemd-container
)

case "${1:-}" in
  --linux-tools) wanted=("${linux_tools[@]}") ;;
  "") wanted=("${linux_tools[@]}" "${windows[@]}" "${packages[@]}") ;;
  *) echo "usage: scripts/setup.sh [--linux-tools]" >&2; exit 1 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
if [[ " ${missing[*]}" == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  dpkg --add-architecture arm64
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
