# Sourced by the drivers: a private wine prefix, an Xvfb display and a
# persistent wine server, each stopped by the pid we started it with.
# Usage: source scripts/env.sh; kestrel_env_start <build dir>; ...; kestrel_env_stop

kestrel_env_start() {
  local build=$1
  export WINEPREFIX="$build/wineprefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No crash debugger: it never finishes here, so a crashing program would hang
  # its test until the time-out instead of failing at once.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  mkdir -p "$build"

  if [ -z "${KESTREL_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 91 190); do
      [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$build/xvfb.log" 2>&1 &
    KESTREL_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
  fi

  # Foreground mode (-f) keeps the server our child, so we know its pid;
  # detached streams keep CTest from waiting on it. The server needs the
  # prefix folder to exist, or it exits at once.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "env: creating wine prefix in $WINEPREFIX (first run only)"
  fi
  mkdir -p "$WINEPREFIX"
  wineserver -f -p </dev/null >/dev/null 2>&1 &
  KESTREL_WINESERVER_PID=$!
  timeout 300 wine wineboot --init </dev/null >/dev/null 2>&1 || true
  # Without a window manager, managed windows make wine wait ~2 s on every
  # hide for a state change that never comes; unmanaged ones do not.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
  if ! kill -0 "$KESTREL_WINESERVER_PID" 2>/dev/null; then
    echo "env: the wine server did not stay up" >&2
    return 1
  fi
  trap kestrel_env_stop EXIT
}

kestrel_env_stop() {
  if [ -n "${KESTREL_WINESERVER_PID:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    kill "$KESTREL_WINESERVER_PID" 2>/dev/null || true
    wait "$KESTREL_WINESERVER_PID" 2>/dev/null || true
    KESTREL_WINESERVER_PID=
  fi
  if [ -n "${KESTREL_XVFB_PID:-}" ]; then
    kill "$KESTREL_XVFB_PID" 2>/dev/null || true
    wait "$KESTREL_XVFB_PID" 2>/dev/null || true
    KESTREL_XVFB_PID=
  fi
}
