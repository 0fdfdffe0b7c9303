#!/bin/bash
# Runs the tray test under a private Xvfb with trayer as the notification
# area, on the first free display number, and cleans both up.
# Usage: run-tray-test.sh <test executable>
set -u
test_exe=$1
n=60
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $tray $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
export DISPLAY=":$n"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge bottom --align right --widthtype pixel --width 120 --height 32 >/dev/null 2>&1 &
tray=$!
sleep 1
unset QT_QPA_PLATFORM
QT_QPA_PLATFORM=xcb "$test_exe"
