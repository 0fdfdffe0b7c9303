#!/usr/bin/env bash
# Runs a command under a private Xvfb display (no TCP listener) with a tray
# (trayer), in a private XDG_RUNTIME_DIR; removes both afterwards.
# Usage: bench/in-xvfb.sh COMMAND [ARGS...]   (exit code: COMMAND's)
set -uo pipefail
work=$(mktemp -d /tmp/vindrel-bench-XXXXXX)
chmod 700 "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
display=:$(( 50 + RANDOM % 400 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "in-xvfb: Xvfb did not start on $display" >&2; exit 3; }
trayer --edge bottom --align right --widthtype request --height 32 >"$work/trayer.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdotool search --class trayer >/dev/null 2>&1 && break; sleep 0.1; done
"$@" &
pids+=($!)
wait $!
rc=$?
exit "$rc"
