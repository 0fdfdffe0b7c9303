#!/usr/bin/env bash
# Takes the README's pictures of the real program inside the network lab,
# under a private X server: the main window in English and in Chinese, and
# the list in use (one server gone silent and dimmed, a row's menu open);
# with --nothing-found, behind a firewall that drops the replies: the hint
# under the empty list and the Diagnostics dialog; with --known, the Known
# servers view at a second start, two of the six servers silent since.
# Usage: sudo scripts/netlab.sh run --servers 6 --macvlan -- docs/screenshots.sh [--known] BIN_DIR OUT_DIR
#        sudo scripts/netlab.sh run --servers 3 --firewall drop -- docs/screenshots.sh --nothing-found BIN_DIR OUT_DIR
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "screenshots: only inside scripts/netlab.sh" >&2; exit 2; }
nothing_found=0
known=0
[ "${1:-}" = --nothing-found ] && { nothing_found=1; shift; }
[ "${1:-}" = --known ] && { known=1; shift; }
bin=$(cd "${1:?bin dir}" && pwd)
out=$(mkdir -p "${2:?output folder}" && cd "$2" && pwd)
x_session_name=shots
# shellcheck source=../scripts/x-session.sh
. "$(dirname "$0")/../scripts/x-session.sh"

# A portable copy of the program whose lang.xml the pictures choose.
program="$work/program"
cp -r "$bin" "$program"
rm -rf "$program/log" "$program"/servers.db*
language() { printf '<?xml version="1.0" encoding="UTF-8"?>\n<config>\n    <lang>%s</lang>\n</config>\n' "$1" >"$program/lang.xml"; }

start() {
  "$program/vindrel" >"$work/vindrel.out" 2>&1 &
  pid=$!
  session_pids+=("$pid")
  win=$(timeout 10 xdotool search --sync --onlyvisible --name '^Vindrel$' | head -1)
  [ -n "$win" ] || fail "no window"
  sleep 3   # every server answers
}
shot() {  # shot FILE: the window alone
  eval "$(xdotool getwindowgeometry --shell "$win")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1" || fail "screenshot $1"
  echo "screenshots: $out/$1"
}
stop() { kill -TERM "$pid"; wait "$pid" 2>/dev/null; }

if [ "$nothing_found" = 1 ]; then
  language en
  start
  sleep 4   # the hint shows after five seconds of nothing
  shot nothing-found.png
  # Diagnostics… is the hint's right-hand button, above the status bar.
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $(( X + WIDTH - 80 )) $(( Y + HEIGHT - 62 )) click 1
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Diagnostics$' | head -1)
  [ -n "$dialog" ] || fail "no diagnostics dialog"
  sleep 3   # the firewall check
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/diagnostics.png" || fail "screenshot"
  echo "screenshots: $out/diagnostics.png"
  stop
  exit 0
fi

if [ "$known" = 1 ]; then
  language en
  start
  stop   # six servers heard, and remembered in the program folder's book
  ns=${VINDREL_LAB_SERVER_NS%% *}
  ip netns exec "$ns" ip link set mv4 down
  ip netns exec "$ns" ip link set mv5 down
  start
  sleep 4   # the remembered ones that do not answer fall quiet
  # From the list, Tab reaches the buttons and then Menu; Known servers… is
  # its third item.
  xdotool windowfocus --sync "$win"
  xdotool key Tab Tab Tab Tab Tab space Down Down Down Return
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Known servers$' | head -1)
  [ -n "$dialog" ] || fail "no Known servers view"
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/known-servers.png" || fail "screenshot"
  echo "screenshots: $out/known-servers.png"
  ip netns exec "$ns" ip link set mv4 up
  ip netns exec "$ns" ip link set mv5 up
  stop
  exit 0
fi

for lang in en zh; do
  language "$([ "$lang" = en ] && echo en || echo zh_cn)"
  start
  xdotool mousemove 5 5
  shot "main-window-$lang.png"
  stop
done

# The list in use: the third server's device goes down; ten probe rounds
# later its row is dimmed. Then a right click on the first row.
language en
start
ns=${VINDREL_LAB_SERVER_NS%% *}
ip netns exec "$ns" ip link set mv2 down
sleep 7
eval "$(xdotool getwindowgeometry --shell "$win")"
# The first row lies just below the list's header (vindrel.xml's layout).
xdotool mousemove $(( X + 200 )) $(( Y + 166 )) click 3
sleep 0.7
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/list-in-use.png" || fail "screenshot"
echo "screenshots: $out/list-in-use.png"
ip netns exec "$ns" ip link set mv2 up
xdotool key Escape
stop
