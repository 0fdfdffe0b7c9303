#!/usr/bin/env bash
# The installed window end to end: usr/bin/vindrel of the unpacked package,
# inside the network lab under a private X server with a tray, for a user
# with an empty home. It must
#   - find its skins and images in ../share/vindrel/ (none lie beside it),
#   - find the simulated servers,
#   - start in the desktop's language (Chinese here) and keep it in
#     $XDG_CONFIG_HOME/vindrel/lang.xml (~/.config here), switch to English
#     from the language button's menu, keep that, and start in English the
#     next time although the desktop still speaks Chinese,
#   - write the running-instance notice's log under $XDG_STATE_HOME/vindrel/log/
#     (~/.local/state here),
#   - write nothing into the installed tree (nothing beside the executable).
#
# CI runs it through `tests/package/check_deb.sh --lab`. By hand:
#   root=$(mktemp -d) && dpkg -x build/vindrel_*.deb "$root"
#   sudo scripts/netlab.sh run --bin "$root/usr/bin" --servers 5 --macvlan -- \
#     tests/package/installed_in_lab.sh "$root" [SHOT-DIR]
# SHOT-DIR, when given, keeps screenshots of each start.
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] || { echo "installed_in_lab: only inside scripts/netlab.sh" >&2; exit 2; }
root=$(cd "${1:?the unpacked package root}" && pwd)
shots=${2:-}
vindrel="$root/usr/bin/vindrel"
[ -x "$vindrel" ] || { echo "installed_in_lab: no $vindrel" >&2; exit 2; }

x_session_name=installed
# shellcheck source=../../scripts/x-session.sh
. "$(dirname "$0")/../../scripts/x-session.sh"

# Where the main window's parts are (vindrel.xml): the language button sits
# 87 px from the right edge (left of the window menu's button), 81 px from
# the top; the Search, Stop and Refresh buttons, whose texts follow the
# language, lie in the strip below.
language_button_from_right=87 language_button_y=81
text_strip="370x44+10+58"   # WxH+X+Y inside the window

# A user who has never run it: an empty home, the XDG folders at their defaults.
export HOME="$work/home"
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME
settings="$HOME/.config/vindrel/lang.xml"
log_dir="$HOME/.local/state/vindrel/log"

# Every file of the installed tree with its size and time, to compare after.
tree_state() { (cd "$root" && find . -printf '%p %s %T@\n' | sort); }
before=$(tree_state)

# Starts vindrel into $work/$1.out; sets $pid and $win once the main window shows.
start_vindrel() {
  LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 "$vindrel" >"$work/$1.out" 2>&1 &
  pid=$!
  session_pids+=("$pid")
  win=""
  for _ in $(seq 150); do
    win=$(xdotool search --onlyvisible --name '^Vindrel$' 2>/dev/null | head -1)
    [ -n "$win" ] && return 0
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; fail "$1: ended with $? before its window showed"; }
    sleep 0.1
  done
  fail "$1: no main window within 15 s"
}

# The engine prints a line before each receive: two mean one reply got through.
await_servers() {
  local i
  for ((i = 0; i < 50; i++)); do
    [ "$(grep -c 'Receiving datagrams' "$work/$1.out")" -ge 2 ] && return 0
    sleep 0.1
  done
  fail "$1: no server's reply taken within 5 s"
}

# Saves the strip of language-dependent texts as $work/$1.png.
grab_texts() {
  local X Y WIDTH HEIGHT WINDOW SCREEN w h x y
  eval "$(xdotool getwindowgeometry --shell "$win")"
  IFS='x+' read -r w h x y <<<"$text_strip"
  xdotool mousemove 5 5   # off the window: no hover look, no tooltip
  sleep 0.5
  import -window root -crop "${w}x${h}+$(( X + x ))+$(( Y + y ))" +repage "$work/$1.png" || fail "screenshot $1"
  [ -z "$shots" ] || import -window root "$shots/$1.png"
}

# Pixels that differ between two grabs (anti-aliasing aside).
differing_pixels() { compare -metric AE -fuzz 10% "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }

exit_from_tray() {
  local tray X Y WIDTH HEIGHT WINDOW SCREEN rc
  tray=$(xdotool search --onlyvisible --class trayer | head -1)
  [ -n "$tray" ] || fail "no tray"
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  xdotool mousemove $(( X + 16 )) $(( Y + 16 )) click 1
  sleep 0.5
  xdotool key Up Return   # the tray menu opens upwards; its last item is Exit
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "$1: Exit did not end the program within 5 s"
  wait "$pid"; rc=$?
  [ "$rc" = 0 ] || fail "$1: Exit ended the program with $rc"
}

# --- first start: the desktop's Chinese, then English from the language menu
start_vindrel first
await_servers first
echo "ok: the installed program starts from its shared data and finds the servers"
grab_texts chinese
grep -q '<lang>zh_cn</lang>' "$settings" 2>/dev/null || fail "the first start did not keep the desktop's language in $settings"
echo "ok: the first start speaks the desktop's language and keeps it in ~/.config/vindrel/lang.xml"

eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove $(( X + WIDTH - language_button_from_right )) $(( Y + language_button_y )) click 1
sleep 0.5
xdotool key Down Return   # the menu's first item: English
sleep 0.5
grab_texts english
[ "$(differing_pixels chinese english)" -gt 100 ] || fail "picking English changed no text"
[ -f "$settings" ] || fail "the choice was not saved in $settings"
grep -q '<lang>en</lang>' "$settings" || fail "$settings does not hold en: $(cat "$settings")"
echo "ok: the language picked is saved in ~/.config/vindrel/lang.xml"

# --- a second start: the notice, and its log in the state folder
"$vindrel" >"$work/second.out" 2>&1 &
second=$!
notice=$(timeout 10 xdotool search --sync --onlyvisible --name '^msgwnd$' | head -1)
[ -n "$notice" ] || fail "the second start showed no notice"
click_notice_ok "$notice"
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second start still runs after its notice"
wait "$second" || fail "the second start ended with $?"
ls "$log_dir"/*.txt >/dev/null 2>&1 || fail "no log in $log_dir"
echo "ok: the notice's log is in ~/.local/state/vindrel/log"
exit_from_tray first

# --- the next start reads the choice back
start_vindrel again
await_servers again
grab_texts again
[ "$(differing_pixels english again)" -le 100 ] || fail "the next start is not in English"
echo "ok: the next start is in English"
exit_from_tray again

# --- nothing written into the installed tree
after=$(tree_state)
if [ "$before" != "$after" ]; then
  diff <(echo "$before") <(echo "$after") >&2
  fail "the program wrote into the installed tree"
fi
echo "ok: nothing was written beside the executable or in share/"
echo "home after two starts:"
(cd "$HOME" && find . -type f | sort | sed 's/^/  /')
