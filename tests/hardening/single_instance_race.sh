#!/usr/bin/env bash
# Ten starts of the real vindrel at the same moment (under Xvfb with a tray,
# inside the network lab): exactly one main window; the nine others show the
# running-instance notice and, once it is closed, end with code 0.
# Usage (from ctest): netlab.sh run ... -- single_instance_race.sh BIN_DIR [STARTS]
set -uo pipefail
bin=${1:?bin dir}
starts=${2:-10}
# shellcheck source=x_session.sh
. "$(dirname "$0")/x_session.sh"

count_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }

# Every start waits for a shared lock on a gate the script holds exclusively;
# letting go releases all at once. (A FIFO gate left a start that opened it
# after the writer had closed it blocked for ever.)
gate="$work/gate"
: >"$gate" || fail "gate"
exec 4>"$gate"
flock -x 4 || fail "flock"
pids=()
for ((i = 1; i <= starts; i++)); do
  ( exec 4>&-; flock -s "$gate" true; exec "$bin/vindrel" >"$work/start$i.out" 2>&1 ) &
  pids+=($!)
  session_pids+=($!)
done
sleep 0.5   # every start is waiting on the gate by now
flock -u 4
exec 4>&-

notices=$((starts - 1))
for _ in $(seq 600); do   # up to a minute: ten sanitized starts on two busy cores are slow
  [ "$(count_windows '^Vindrel$')" -ge 1 ] && [ "$(count_windows '^msgwnd$')" -ge "$notices" ] && break
  sleep 0.1
done
mains=$(count_windows '^Vindrel$')
shown=$(count_windows '^msgwnd$')
[ "$mains" = 1 ] || fail "$mains main windows after $starts simultaneous starts"
[ "$shown" = "$notices" ] || fail "$shown notices after $starts simultaneous starts, expected $notices"
echo "ok: $starts simultaneous starts gave one main window and $shown notices"

# Close the notices one by one through their OK buttons.
for _ in $(seq $((notices * 3))); do
  w=$(xdotool search --onlyvisible --name '^msgwnd$' 2>/dev/null | head -1)
  [ -n "$w" ] || break
  click_notice_ok "$w"
  sleep 0.2
done
[ "$(count_windows '^msgwnd$')" = 0 ] || fail "notices left open after clicking OK"

running=() ended=0
for p in "${pids[@]}"; do
  if ended_within "$p" 30; then
    wait "$p"; rc=$?
    [ "$rc" = 0 ] || fail "a start that showed the notice ended with $rc"
    ended=$((ended + 1))
  else
    running+=("$p")
  fi
done
[ "${#running[@]}" = 1 ] || fail "${#running[@]} starts still running after the notices closed, expected 1"
[ "$ended" = "$notices" ] || fail "$ended starts ended, expected $notices"
[ "$(count_windows '^Vindrel$')" = 1 ] || fail "the main window went away"
kill -TERM "${running[0]}"
ended_within "${running[0]}" 50 || fail "the running instance ignored SIGTERM"
wait "${running[0]}"; rc=$?
[ "$rc" = 0 ] || fail "the running instance ended with $rc"
echo "ok: the $notices notices closed with code 0; the one instance ran on until SIGTERM"
