#!/usr/bin/env bash
# The real vindrel end to end, inside the network lab (scripts/netlab.sh)
# under a private X server with a tray: it starts and searches while the
# simulated servers reply; its close button hides it to the tray; a second
# start brings it back, shows the running-instance notice and ends with 0;
# Exit from the tray menu ends the first with 0, promptly, under traffic.
# Usage (from ctest): netlab.sh run ... -- lab_end_to_end.sh BIN_DIR [SHOT.png]
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "lab_end_to_end: only inside scripts/netlab.sh" >&2; exit 2; }
bin=${1:?bin dir}
shot=${2:-}

x_session_name=e2e
# shellcheck source=../../scripts/x-session.sh
. "$(dirname "$0")/../../scripts/x-session.sh"

"$bin/vindrel" >"$work/first.out" 2>&1 &
first=$!
session_pids+=($first)
timeout 10 xdotool search --sync --onlyvisible --name '^Vindrel$' >/dev/null || fail "no main window"
sleep 3   # two rounds of probes and replies
echo "ok: the first instance runs and searches"
[ -z "$shot" ] || import -window root "$shot"

# Hidden to the tray by its close button (top right of the title band).
main=$(xdotool search --onlyvisible --name '^Vindrel$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $(( X + WIDTH - 24 )) $(( Y + 23 )) click 1
for _ in $(seq 30); do xdotool search --onlyvisible --name '^Vindrel$' >/dev/null || break; sleep 0.1; done
xdotool search --onlyvisible --name '^Vindrel$' >/dev/null && fail "the close button did not hide the window"
echo "ok: the close button hides the window to the tray"

"$bin/vindrel" >"$work/second.out" 2>&1 &
second=$!
notice=$(timeout 10 xdotool search --sync --onlyvisible --name '^msgwnd$' | head -1)
[ -n "$notice" ] || fail "the second start showed no notice"
click_notice_ok "$notice"
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second start is still running after the notice was closed"
wait "$second"; rc=$?
[ "$rc" = 0 ] || fail "the second start ended with $rc"
grep -q 'Message ' "$work/second.out" && fail "the second start sent probes"
kill -0 "$first" 2>/dev/null || fail "the first instance ended with the second"
# The first instance takes the request from its event loop: give it time.
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Vindrel$' >/dev/null && break; sleep 0.1; done
xdotool search --onlyvisible --name '^Vindrel$' >/dev/null || fail "the second start did not bring the window back"
echo "ok: a second start brings the running window forward, shows the notice and ends with 0"

# The tray icon sits in trayer's window; a click opens the menu upwards,
# Up picks its last item (Exit).
tray=$(xdotool search --onlyvisible --class trayer | head -1)
[ -n "$tray" ] || fail "no tray"
eval "$(xdotool getwindowgeometry --shell "$tray")"
# A loaded machine may open the menu late: a click that found none is tried
# again, three times at most.
for _ in 1 2 3; do
  xdotool mousemove $(( X + 16 )) $(( Y + 16 )) click 1
  sleep 1
  xdotool key Up Return
  for _ in $(seq 50); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$first" 2>/dev/null || break
  xdotool key Escape
done
kill -0 "$first" 2>/dev/null && fail "Exit from the tray menu did not end the program"
wait "$first"; rc=$?
[ "$rc" = 0 ] || fail "Exit ended the program with $rc"
echo "ok: Exit from the tray menu ends with 0 under traffic"
