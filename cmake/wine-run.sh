#!/bin/sh
# Runs a Windows test executable under wine with the settings every test needs:
# code page 936 for ANSI text, no wine logging. WINEPREFIX and DISPLAY come
# from the test driver.
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=zh_CN.GBK
exec wine "$@"
