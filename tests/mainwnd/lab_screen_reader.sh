#!/usr/bin/env bash
# The real vindrel as a screen reader meets it, in English and in Chinese:
# inside the network lab (it finds the simulated servers), under a private X
# server, with a private D-Bus session and the AT-SPI bus, all in the lab's
# namespace (D-Bus sockets belong to a network namespace). screen_reader.py
# reads the tree and walks it with the keyboard.
# Usage (from ctest): netlab.sh run --servers N ... -- lab_screen_reader.sh BIN_DIR
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "lab_screen_reader: only inside scripts/netlab.sh" >&2; exit 2; }
bin=${1:?bin dir}
here=$(cd "$(dirname "$0")" && pwd)
servers=$(awk 'END { print NR }' "$VINDREL_LAB_DIR/servers.txt" 2>/dev/null)

x_session_name=a11y
# shellcheck source=../../scripts/x-session.sh
. "$here/../../scripts/x-session.sh"

# The program folder without its lang.xml, so that the language comes from
# a settings folder of this run's own.
mkdir -p "$work/bin"
cp -r "$bin/vindrel" "$bin"/*.xml "$bin/res" "$work/bin/"
rm -f "$work/bin/lang.xml"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state

rc=0
for language in en zh_cn; do
  echo "--- $language"
  mkdir -p "$XDG_CONFIG_HOME/vindrel"
  printf '<config><lang>%s</lang></config>\n' "$language" >"$XDG_CONFIG_HOME/vindrel/lang.xml"
  dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$3/atspi.out" 2>&1 & bus=$!
    "$1/vindrel" >"$3/vindrel-$4.out" 2>&1 & window=$!
    /usr/bin/python3 "$2/screen_reader.py" "$4" "$5"; rc=$?
    kill "$window" "$bus" 2>/dev/null; wait 2>/dev/null
    exit "$rc"' reader "$work/bin" "$here" "$work" "$language" "$servers" 2>>"$work/dbus.out" || rc=1
done
[ "$rc" = 0 ] || fail "a screen reader misses something (see above)"
echo "ok: both languages"
