#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine (as root) lacks for building and
# testing Kestrel. Idempotent; silent when everything is present.
set -euo pipefail

packages=(
  cmake make g++ clang googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-wqy-zenhei
  netcat-openbsd procps python3
  pkg-config libmosquitto-dev nlohmann-json3-dev libmicrohttpd-dev libgnutls28-dev libtomlplusplus-dev mosquitto mosquitto-clients
  libssl-dev openssl curl iproute2 python3-prometheus-client
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
