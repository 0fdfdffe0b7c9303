#!/usr/bin/env bash
# The Windows build as a person gets it, inside the network lab
# (scripts/netlab.sh, with the native korvan-sim): the zip unpacked into a
# fresh Wine prefix made here, with a wineserver of its own started here,
# since Wine opens every socket in the wineserver's network namespace.
#   1. vindrel-scan.exe --json and --csv find every simulated server with
#      every field exact, Mac included, as the native vindrel-scan does; a
#      port another program holds is reported as such.
#   2. (one link) vindrel.exe under Xvfb with a tray: its window lists the
#      servers (the rows it copies to the clipboard), a second start shows
#      the running-instance notice, brings the window back and ends with 0,
#      Exit from the tray menu ends it with 0.
#   (two links) each adapter's probes leave through its own link, from its
#      own address, and the servers of both are found.
# Nothing runs from the build tree but the zip and two helpers; no DLL comes
# from the toolchain (no WINEPATH): the folder must be complete.
#
# Usage (scripts/windows.sh lab): netlab.sh run ... -- lab_windows.sh ZIP \
#        NATIVE_BIN CLIPBOARD_TEXT_EXE [SHOT.png]
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "lab_windows: only inside scripts/netlab.sh" >&2; exit 2; }
zip=$(realpath "${1:?zip}") native=$(realpath "${2:?native bin dir}") clipexe=$(realpath "${3:?clipboard_text.exe}")
shot=${4:+$(realpath -m "$4")}

x_session_name=win
# shellcheck source=../../scripts/x-session.sh
. "$(dirname "$0")/../../scripts/x-session.sh"

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH
# A server left over from elsewhere must not serve this prefix (it cannot:
# the prefix is new), and ours starts in this namespace.
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
wine_end() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }
trap 'wine_end; end_session' EXIT

begin=$SECONDS
wineboot -i >/dev/null 2>&1 || fail "wineboot -i failed"
wineserver -w
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
server=$(pgrep -n wineserver64 || pgrep -n wineserver)
[ -n "$server" ] || fail "no wineserver"
[ "$(readlink "/proc/$server/ns/net")" = "$(readlink /proc/self/ns/net)" ] ||
  fail "the wineserver is not in the lab's network namespace"
echo "ok: a fresh prefix in $((SECONDS - begin)) s, its wineserver in the lab's namespace $(readlink /proc/self/ns/net)"

unzip -q "$zip" -d "$WINEPREFIX/drive_c/Program Files" || fail "cannot unzip $zip"
folder=$(ls -d "$WINEPREFIX/drive_c/Program Files"/vindrel-*-win64)
[ -d "$folder" ] || fail "no vindrel-*-win64 folder in the zip"
scan="$folder/vindrel-scan.exe"

# What korvan-sim's default replies hold for server i of a link (0-based),
# with the MAC the lab gave its device, as vindrel-scan --json writes it.
expected_json() {
  local k ip mac i=0 last=0
  while read -r k ip mac; do
    [ "$k" = "$last" ] || { i=0; last=$k; }
    printf '  {"Name": "KORVAN-%04d", "IP": "%s", "Port": "80", "Version": "2.1.%d", "Serial": "KS%06d", "Mac": "%s", "DeviceType": "K4-NAS", "KorvanID": "KV-%08X", "UpTime": "%dd %02d:%02d"}\n' \
      $((i + 1)) "$ip" $((i % 10)) $((i + 1)) "$(echo "$mac" | tr 'a-f:' 'A-F-')" $((0x4B000000 + i)) $((i % 30)) $((i % 24)) $((i % 60))
    i=$((i + 1))
  done <"$VINDREL_LAB_DIR/servers.txt"
}
rows() { grep '^  {' "$1" | sed 's/},$/}/' | sort; }
count=$(wc -l <"$VINDREL_LAB_DIR/servers.txt")
expected_json | sed 's/},$/}/' | sort >"$work/expected.rows"

wine "$scan" --json --wait-for "$count" --seconds 10 >"$work/scan.json" 2>"$work/scan.err"; rc=$?
[ "$rc" = 0 ] || fail "vindrel-scan.exe --json ended with $rc: $(cat "$work/scan.err")"
rows "$work/scan.json" >"$work/scan.rows"
diff "$work/expected.rows" "$work/scan.rows" >"$work/scan.diff" || fail "vindrel-scan.exe --json differs: $(cat "$work/scan.diff")"
"$native/vindrel-scan" --json --wait-for "$count" --seconds 10 >"$work/native.json"
rows "$work/native.json" >"$work/native.rows"
cmp -s "$work/native.rows" "$work/scan.rows" || fail "vindrel-scan.exe and the native vindrel-scan disagree"
echo "ok: vindrel-scan.exe --json lists all $count servers, every field exact (Mac included), as the native one does"

wine "$scan" --csv --wait-for "$count" --seconds 10 >"$work/scan.csv"; rc=$?
[ "$rc" = 0 ] || fail "vindrel-scan.exe --csv ended with $rc"
[ "$(grep -c $'\r$' "$work/scan.csv")" = $((count + 1)) ] || fail "CSV rows do not end CR LF"
grep -q $'\r\r' "$work/scan.csv" && fail "CSV rows end CR CR LF (standard output in text mode)"
echo "ok: vindrel-scan.exe --csv rows end CR LF, never CR CR LF"

if [ "$(echo "$VINDREL_LAB_INTERFACES" | wc -w)" = 2 ]; then
  wine "$scan" --verbose --seconds 1.5 --csv >/dev/null 2>"$work/verbose.err"
  for k in 1 2; do
    sources=$(awk '{print $2}' "$VINDREL_LAB_DIR/probes-$k.log" | sort -u | tr '\n' ' ')
    [ "$sources" = "10.2$k.0.1 " ] || fail "link $k heard probes from: $sources"
  done
  grep -q '^Message 1$' "$work/verbose.err" || fail "--verbose printed no probe lines"
  echo "ok: each adapter's broadcasts leave through its own link, from its own address"
  exit 0
fi

# Another program on port 6000 (the native scanner, searching meanwhile).
"$native/vindrel-scan" --seconds 4 >/dev/null 2>&1 &
holder=$!
sleep 0.5
wine "$scan" --seconds 1 >/dev/null 2>"$work/inuse.err"; rc=$?
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
[ "$rc" = 1 ] || fail "with port 6000 taken vindrel-scan.exe ended with $rc, not 1"
grep -q "UDP port 6000 is in use by another program" "$work/inuse.err" || fail "no port-in-use line: $(cat "$work/inuse.err")"
echo "ok: a port another program holds is named as such, exit 1"

# Pages open through the shell (ShellExecute, then Wine's winebrowser, then
# xdg-open): a stand-in records the address instead of starting a browser.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$@" >>"%s"\n' "$work/opened.txt" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

# The window. Its title is "Vindrel" under Wine as under X11.
cd "$folder" || fail "cannot enter $folder"
wine ./vindrel.exe >"$work/first.out" 2>&1 &
first=$!
session_pids+=($first)
timeout 30 xdotool search --sync --onlyvisible --name '^Vindrel$' >/dev/null || fail "no main window"
sleep 3
echo "ok: vindrel.exe shows its window and searches"
main=$(xdotool search --onlyvisible --name '^Vindrel$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
[ -z "$shot" ] || import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"

# Every row as the window holds it: select all, copy, read the clipboard.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
sleep 0.3
xdotool key ctrl+a ctrl+c
sleep 0.5
wine "$clipexe" >"$work/clip.txt" || fail "the window copied nothing"
tr -d '\r' <"$work/clip.txt" | sort >"$work/clip.rows"
tr -d '{}' <"$work/expected.rows" | sed 's/"[A-Za-z]*": //g; s/", "/\t/g; s/^  "//; s/"$//' | sort >"$work/expected.tsv"
diff "$work/expected.tsv" "$work/clip.rows" >"$work/clip.diff" || fail "the window's rows differ: $(cat "$work/clip.diff")"
echo "ok: the window lists all $count servers with every field"

# The first row sits below the column header (vindrel.xml); a double click
# opens its server's page, which winebrowser hands on normalised (":80"
# dropped). Which server is first depends on which answered first.
xdotool mousemove $((X + 80)) $((Y + 166)) click --repeat 2 --delay 80 1
for _ in $(seq 50); do [ -s "$work/opened.txt" ] && break; sleep 0.1; done
opened=$(head -1 "$work/opened.txt" 2>/dev/null)
opened_ip=${opened#http://}
opened_ip=${opened_ip%/}
[ "$opened" = "http://$opened_ip/" ] && grep -q " $opened_ip " "$VINDREL_LAB_DIR/servers.txt" ||
  fail "a double click opened no server's page: '$opened'"
echo "ok: a double click opens the server's page ($opened) through the shell"

# Wake from the row's menu (the menu key; Up four times: History…, Watch,
# Export, then Wake): the
# magic packet for that row's MAC, broadcast from the adapter it was heard on.
opened_mac=$(awk -v ip="$opened_ip" '$2 == ip {gsub(":", "", $3); print $3}' "$VINDREL_LAB_DIR/servers.txt")
xdotool key Menu
sleep 0.5
xdotool key Up Up Up Up Return
for _ in $(seq 30); do [ -s "$VINDREL_LAB_DIR/wol-1.log" ] && break; sleep 0.1; done
read -r _ wol_from wol_to wol_hex wol_kind <"$VINDREL_LAB_DIR/wol-1.log" 2>/dev/null
[ "$wol_from $wol_to $wol_kind" = "10.21.0.1 255.255.255.255 magic" ] && [ "${wol_hex:0:24}" = "ffffffffffff$opened_mac" ] ||
  fail "no magic packet for $opened_mac: $(head -1 "$VINDREL_LAB_DIR/wol-1.log" 2>/dev/null)"
echo "ok: Wake from the row's menu broadcasts the magic packet from the adapter the server was heard on"

# Hidden to the tray by its close button (top right of the title band).
xdotool mousemove $((X + WIDTH - 24)) $((Y + 23)) click 1
for _ in $(seq 30); do xdotool search --onlyvisible --name '^Vindrel$' >/dev/null || break; sleep 0.1; done
xdotool search --onlyvisible --name '^Vindrel$' >/dev/null && fail "the close button did not hide the window"
echo "ok: the close button hides the window to the tray"

wine ./vindrel.exe >"$work/second.out" 2>&1 &
second=$!
notice=$(timeout 30 xdotool search --sync --onlyvisible --name '^msgwnd$' | head -1)
[ -n "$notice" ] || fail "the second start showed no notice"
click_notice_ok "$notice"
for _ in $(seq 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second start is still running after the notice was closed"
wait "$second"; rc=$?
[ "$rc" = 0 ] || fail "the second start ended with $rc"
grep -q 'Message ' "$work/second.out" && fail "the second start sent probes"
kill -0 "$first" 2>/dev/null || fail "the first instance ended with the second"
xdotool search --onlyvisible --name '^Vindrel$' >/dev/null || fail "the second start did not bring the window back"
echo "ok: a second start brings the running window forward, shows the notice and ends with 0"

# The icon sits in trayer's window; a click opens the menu upwards, Up picks
# its last item (Exit). Wine's tray now and then drops a click that comes
# with the pointer's arrival (it shows the tooltip instead): a second click,
# as a person would give, is allowed and said.
tray=$(xdotool search --onlyvisible --class trayer | head -1)
[ -n "$tray" ] || fail "no tray"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove $((X + WIDTH - 8)) $((Y + HEIGHT / 2))
sleep 0.5
for attempt in 1 2 3; do
  xdotool click 1
  sleep 1
  [ -z "${VINDREL_DEBUG_SHOT:-}" ] || import -window root "$VINDREL_DEBUG_SHOT"
  xdotool key Up Return
  for _ in $(seq 30); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$first" 2>/dev/null || break
  echo "note: the tray menu did not open on click $attempt; clicking again"
done
kill -0 "$first" 2>/dev/null && fail "Exit from the tray menu did not end the program"
wait "$first"; rc=$?
[ "$rc" = 0 ] || fail "Exit ended the program with $rc"
echo "ok: Exit from the tray menu ends vindrel.exe with 0"
