#!/bin/sh
# Runs a command on a private 8-bit X display, where wine's device contexts are
# palette devices. Fails when no such display can be started.
set -u
n=200
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
  n=$((n + 1))
  [ "$n" -lt 300 ] || { echo "no free display number" >&2; exit 1; }
done
Xvfb ":$n" -screen 0 640x480x8 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
i=0
until [ -e "/tmp/.X11-unix/X$n" ]; do
  i=$((i + 1))
  if [ "$i" -gt 200 ] || ! kill -0 "$xvfb" 2>/dev/null; then
    echo "the 8-bit display :$n did not start" >&2
    exit 1
  fi
  sleep 0.1
done
DISPLAY=":$n" "$@"
