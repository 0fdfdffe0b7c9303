#!/usr/bin/env bash
# The real vindrel's tray icon through a real StatusNotifierItem host
# (gtk-sni-tray-standalone with its watcher) on a private D-Bus session,
# inside the network lab under Xvfb with no XEmbed tray: the icon registers
# with the watcher, carries its name, and its menu over D-Bus (dbusmenu, as
# a panel shows it) reads Show and Exit; Show brings the hidden window back,
# Exit ends the program with 0 and the icon goes from the host.
# Usage (from ctest): netlab.sh run ... -- sni_tray.sh BIN_DIR
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "sni_tray: only inside scripts/netlab.sh" >&2; exit 2; }
# D-Bus's abstract sockets belong to the network namespace: the bus is
# started here, inside the lab.
[ -n "${VINDREL_SNI_BUS:-}" ] || VINDREL_SNI_BUS=1 exec dbus-run-session -- "$0" "$@"
bin=${1:?bin dir}

x_session_name=sni x_session_tray=none
# shellcheck source=../../scripts/x-session.sh
. "$(dirname "$0")/../../scripts/x-session.sh"

watcher() {  # watcher METHOD ARGS...: a call on the StatusNotifierWatcher
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher "$@" 2>/dev/null
}
watched() { watcher --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"; }

gtk-sni-tray-standalone --bottom --watcher >"$work/host.out" 2>&1 &
session_pids+=($!)
for _ in $(seq 100); do watched IsStatusNotifierHostRegistered | grep -q true && break; sleep 0.1; done
watched IsStatusNotifierHostRegistered | grep -q true || fail "no StatusNotifierItem host registered"
echo "ok: gtk-sni-tray-standalone hosts StatusNotifierItems on the session bus"

"$bin/vindrel" >"$work/vindrel.out" 2>&1 &
pid=$!
session_pids+=($pid)
timeout 10 xdotool search --sync --onlyvisible --name '^Vindrel$' >/dev/null || fail "no main window"
item=
for _ in $(seq 100); do
  item=$(watched RegisteredStatusNotifierItems | grep -o "'[^']*'" | head -1 | tr -d "'")
  [ -n "$item" ] && break
  sleep 0.1
done
[ -n "$item" ] || fail "the icon never registered with the watcher"
# The watcher lists a service name, or a name and a path.
service=${item%%/*}
path=/StatusNotifierItem
[ "$item" = "$service" ] || path=/${item#*/}
prop() {
  gdbus call --session --dest "$service" --object-path "$path" \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
prop ToolTip | grep -q "'Vindrel'" || fail "the icon's tooltip is not Vindrel: $(prop ToolTip)"
prop Status | grep -q "Active" || fail "the icon is not active: $(prop Status)"
echo "ok: the icon registers as $item, tooltip Vindrel"

menu=$(prop Menu | grep -o "'/[^']*'" | tr -d "'")
[ -n "$menu" ] || fail "the icon has no menu"
layout=$(gdbus call --session --dest "$service" --object-path "$menu" \
  --method com.canonical.dbusmenu.GetLayout 0 'int32 -1' '@as []')
item_id() { grep -o "([0-9]*, {[^}]*'label': <'$1'>" <<<"$layout" | head -1 | grep -o '^([0-9]*' | tr -d '('; }
show=$(item_id Show)
exit_id=$(item_id Exit)
[ -n "$show" ] && [ -n "$exit_id" ] || fail "the menu does not read Show and Exit: $layout"
echo "ok: the host reads the menu Show, Exit"
click() {
  gdbus call --session --dest "$service" --object-path "$menu" \
    --method com.canonical.dbusmenu.Event "$1" clicked '<0>' 0 >/dev/null
}

# The close button hides the window: there is a tray to come back from.
main=$(xdotool search --onlyvisible --name '^Vindrel$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $(( X + WIDTH - 24 )) $(( Y + 23 )) click 1
for _ in $(seq 30); do xdotool search --onlyvisible --name '^Vindrel$' >/dev/null || break; sleep 0.1; done
xdotool search --onlyvisible --name '^Vindrel$' >/dev/null && fail "the close button did not hide the window"
click "$show"
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Vindrel$' >/dev/null && break; sleep 0.1; done
xdotool search --onlyvisible --name '^Vindrel$' >/dev/null || fail "Show did not bring the window back"
echo "ok: hidden to the tray, back by the menu's Show"

click "$exit_id"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Exit did not end the program"
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "Exit ended the program with $rc"
for _ in $(seq 30); do watched RegisteredStatusNotifierItems | grep -q "$service" || break; sleep 0.1; done
watched RegisteredStatusNotifierItems | grep -q "$service" && fail "the icon stayed in the host after Exit"
echo "ok: Exit ends with 0 and the icon leaves the host"
