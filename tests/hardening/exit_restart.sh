#!/usr/bin/env bash
# Start, traffic, Exit, again and again: the real vindrel under Xvfb with a
# tray inside the network lab. Every cycle must end with code 0 within one
# second of the Exit command and leave no process behind. Some cycles end
# through the tray menu's Exit, the others with SIGTERM (a logout). Then a
# SIGKILL: the single-instance guard must not outlive the killed process.
# Usage (from ctest): netlab.sh run ... -- exit_restart.sh BIN_DIR [CYCLES]
set -uo pipefail
# The leak check at exit belongs to the sanitizer run, not to the exit's time.
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
bin=${1:?bin dir}
cycles=${2:-50}
tray_every=5   # every fifth cycle (and the first) goes through the tray menu
# shellcheck source=x_session.sh
. "$(dirname "$0")/x_session.sh"

# Starts vindrel into $work/$1.out; sets $pid once its main window shows.
start_vindrel() {
  "$bin/vindrel" >"$work/$1.out" 2>&1 &
  pid=$!
  timeout 15 xdotool search --sync --onlyvisible --name '^Vindrel$' >/dev/null || fail "$1: no main window"
}

# Waits until the listener has handled a reply (it prints a line before each
# receive: two lines mean one datagram got through).
await_traffic() {
  local i
  for ((i = 0; i < 50; i++)); do
    [ "$(grep -c 'Receiving datagrams' "$work/$1.out")" -ge 2 ] && return 0
    sleep 0.1
  done
  fail "$1: no reply handled within 5 s"
}

# The tray icon is the window that trayer embeds; its menu opens upwards on
# a click and Up picks its last item, Exit. Sets $asked to the time of Exit.
exit_from_tray() {
  local icon="" i X Y WIDTH HEIGHT WINDOW SCREEN
  for ((i = 0; i < 50; i++)); do
    icon=$(xdotool search --onlyvisible --classname '^vindrel$' 2>/dev/null | while read -r w; do
      eval "$(xdotool getwindowgeometry --shell "$w")"; [ "$HEIGHT" -le 32 ] && echo "$w"; done | head -1)
    [ -n "$icon" ] && break
    sleep 0.1
  done
  [ -n "$icon" ] || fail "$1: no tray icon"
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  xdotool mousemove $(( X + WIDTH / 2 )) $(( Y + HEIGHT / 2 )) click 1
  sleep 0.4
  asked=$(now_ms)
  xdotool key Up Return
}

slowest=0 tray_cycles=0 times=()
for ((cycle = 1; cycle <= cycles; cycle++)); do
  name="cycle$cycle"
  start_vindrel "$name"
  await_traffic "$name"
  if (( cycle == 1 || cycle % tray_every == 0 )); then
    exit_from_tray "$name"; tray_cycles=$((tray_cycles + 1)); how=Exit
  else
    asked=$(now_ms); kill -TERM "$pid"; how=SIGTERM
  fi
  # A watchdog ends a hung program, so that the wait below always returns.
  ( sleep 5; kill -KILL "$pid" 2>/dev/null ) &
  watchdog=$!
  wait "$pid"; rc=$?
  took=$(( $(now_ms) - asked ))
  kill "$watchdog" 2>/dev/null; wait "$watchdog" 2>/dev/null
  (( rc == 137 )) && fail "$name: still running 5 s after $how"
  [ "$rc" = 0 ] || fail "$name: $how ended the program with $rc"
  (( took > slowest )) && slowest=$took
  (( took <= 1000 )) || fail "$name: $how took $took ms"
  [ -z "$(vindrels)" ] || fail "$name: a vindrel process is left: $(vindrels)"
  times+=("$took")
  rm -f "$work/$name.out"
done
echo "ok: $cycles cycles ($tray_cycles through the tray menu's Exit), each ended with 0; slowest exit $slowest ms"
echo "exit times (ms): ${times[*]}"

start_vindrel killed
kill -KILL "$pid"; wait "$pid" 2>/dev/null
start_vindrel after-kill
xdotool search --onlyvisible --name '^msgwnd$' >/dev/null 2>&1 && fail "the start after SIGKILL showed the running-instance notice"
kill -TERM "$pid"; ended_within "$pid" 50 || fail "after-kill: SIGTERM did not end it"
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "after-kill: ended with $rc"
echo "ok: SIGKILL releases the single-instance guard; the next start runs"
