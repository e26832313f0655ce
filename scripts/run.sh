#!/usr/bin/env bash
# Runs the control panel against the local relay-board simulator.
# With an X display the panel is shown for you to use; without one it runs in
# a private Xvfb, connects, switches a channel, saves a screenshot and says where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target boardsim >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target kestrel >/dev/null

work="$root/build/run"
mkdir -p "$work"
rm -f "$work"/boardsim.log "$work"/boardsim.out

# A free loopback port the panel's port box accepts (it allows up to 10000).
boardsim="$root/build/native/tools/boardsim/boardsim"
port=6000
while :; do
  "$boardsim" --port "$port" --channels 0x8005 --log "$work/boardsim.log" >"$work/boardsim.out" 2>"$work/boardsim.err" &
  board_pid=$!
  for _ in $(seq 1 50); do
    grep -q '^port ' "$work/boardsim.out" 2>/dev/null && break
    kill -0 "$board_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^port ' "$work/boardsim.out" 2>/dev/null && break
  wait "$board_pid" 2>/dev/null || true
  port=$((port + 1))
  [ "$port" -le 10000 ] || { echo "run: no free loopback port between 6000 and 10000" >&2; exit 1; }
done
stop_board() { kill "$board_pid" 2>/dev/null || true; wait "$board_pid" 2>/dev/null || true; }

# The panel reads its address and port from canshu.ini in its working directory.
printf '[canshu_v2]\r\nsocket_port=%s\r\nsocket_ip=127.0.0.1\r\n' "$port" >"$work/canshu.ini"
echo "run: boardsim listens on 127.0.0.1:$port (log: $work/boardsim.log)"

source scripts/env.sh
exe="$root/build/windows/panel/kestrel.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  KESTREL_KEEP_DISPLAY=1 kestrel_env_start "$root/build/windows"
  echo "run: starting Kestrel; press 连接 to connect. Close the panel to stop."
  (cd "$work" && env LC_ALL=zh_CN.GBK wine "$exe" >/dev/null 2>&1) || true
  stop_board
  exit 0
fi

kestrel_env_start "$root/build/windows"
trap 'stop_board; kestrel_env_stop' EXIT
(cd "$work" && exec env LC_ALL=zh_CN.GBK wine "$exe" >/dev/null 2>&1) &
panel_pid=$!

wait_for() { # wait_for <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
wait_for 60 xdotool search --onlyvisible --name '^Kestrel V1.35$' || { echo "run: the panel did not appear" >&2; exit 1; }
panel=$(xdotool search --onlyvisible --name '^Kestrel V1.35$' | head -1)

# Keyboard only: from the address box, Tab 20 times reaches 连接 (Connect).
xdotool windowfocus --sync "$panel"
xdotool key --delay 30 $(printf 'Tab %.0s' $(seq 1 20)) space
# The success message comes first; the query follows once it is answered.
wait_for 30 xdotool search --onlyvisible --name '^kestrel$' || { echo "run: no connect message" >&2; exit 1; }
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^kestrel$' | head -1)"
xdotool key Return
wait_for 30 grep -q ' 55 01 10 00 00 00 00 66' "$work/boardsim.log" || { echo "run: no query reached boardsim" >&2; exit 1; }
sleep 1 # let the status frame paint
# Shift+Tab from Connect: 17 back is channel 2 (off on the board): switch it on.
xdotool windowfocus --sync "$panel"
xdotool key --delay 30 $(printf 'shift+Tab %.0s' $(seq 1 17)) space
wait_for 30 grep -q ' 55 01 12 00 00 00 02 6A' "$work/boardsim.log" || { echo "run: the switch did not reach boardsim" >&2; exit 1; }
sleep 1

shot="$work/kestrel.png"
geometry=$(xwininfo -id "$panel" | awk '/Absolute upper-left X/{x=$NF}/Absolute upper-left Y/{y=$NF}/Width/{w=$NF}/Height/{h=$NF}END{print w"x"h"+"x"+"y}')
import -window root -crop "$geometry" +repage "$shot"
echo "run: connected to boardsim, switched channel 2 on; screenshot: $shot"
xdotool key Escape
wait "$panel_pid" 2>/dev/null || true
