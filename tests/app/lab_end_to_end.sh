#!/usr/bin/env bash
# The real vindrel end to end, inside the network lab (scripts/netlab.sh)
# under a private X server with a tray: it starts and searches while the
# simulated servers reply; a second start shows the running-instance notice
# and ends with 0, leaving the first alone; Exit from the tray menu ends the
# first with 0, promptly, under traffic.
# Usage (from ctest): netlab.sh run ... -- lab_end_to_end.sh BIN_DIR [SHOT.png]
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "lab_end_to_end: only inside scripts/netlab.sh" >&2; exit 2; }
bin=${1:?bin dir}
shot=${2:-}

work=$(mktemp -d /tmp/vindrel-e2e-XXXXXX)
chmod 700 "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; for f in "$work"/*.out; do echo "--- $f" >&2; tail -5 "$f" >&2; done; exit 1; }

# A display of our own; no TCP listener.
display=:$(( 50 + RANDOM % 400 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
trayer --edge bottom --align right --widthtype request --height 32 >"$work/trayer.out" 2>&1 &
pids+=($!)
sleep 1

"$bin/vindrel" >"$work/first.out" 2>&1 &
first=$!
pids+=($first)
timeout 10 xdotool search --sync --onlyvisible --name '^Vindrel$' >/dev/null || fail "no main window"
sleep 3   # two rounds of probes and replies
echo "ok: the first instance runs and searches"
[ -z "$shot" ] || import -window root "$shot"

"$bin/vindrel" >"$work/second.out" 2>&1 &
second=$!
notice=$(timeout 10 xdotool search --sync --onlyvisible --name '^msgwnd$' | head -1)
[ -n "$notice" ] || fail "the second start showed no notice"
# OK lies at the bottom right of the notice.
eval "$(xdotool getwindowgeometry --shell "$notice")"
xdotool mousemove $(( X + WIDTH - 167 )) $(( Y + HEIGHT - 31 )) click 1
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second start is still running after the notice was closed"
wait "$second"; rc=$?
[ "$rc" = 0 ] || fail "the second start ended with $rc"
grep -q 'Message ' "$work/second.out" && fail "the second start sent probes"
kill -0 "$first" 2>/dev/null || fail "the first instance ended with the second"
echo "ok: a second start shows the notice and ends with 0"

# The tray icon sits in trayer's window; a click opens the menu upwards,
# Up picks its last item (Exit).
tray=$(xdotool search --onlyvisible --class trayer | head -1)
[ -n "$tray" ] || fail "no tray"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove $(( X + 16 )) $(( Y + 16 )) click 1
sleep 0.5
xdotool key Up Return
for _ in $(seq 50); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
kill -0 "$first" 2>/dev/null && fail "Exit did not end the program within 5 s"
wait "$first"; rc=$?
[ "$rc" = 0 ] || fail "Exit ended the program with $rc"
echo "ok: Exit from the tray menu ends with 0 under traffic"
