# Sourced by the hardening scripts: a private X server with a tray (trayer),
# and helpers around the real vindrel. Only inside scripts/netlab.sh's lab.
[ "${VINDREL_LAB:-}" = 1 ] || { echo "$0: only inside scripts/netlab.sh" >&2; exit 2; }

work=$(mktemp -d /tmp/vindrel-hard-XXXXXX)
chmod 700 "$work"
session_pids=()
end_session() {
  for p in "${session_pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap end_session EXIT
fail() { echo "FAIL: $*" >&2; for f in "$work"/*.out; do [ -s "$f" ] || continue; echo "--- $f" >&2; tail -5 "$f" >&2; done; exit 1; }

display=:$(( 50 + RANDOM % 400 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
session_pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
trayer --edge bottom --align right --widthtype request --height 32 >"$work/trayer.out" 2>&1 &
session_pids+=($!)
for _ in $(seq 50); do xdotool search --onlyvisible --class trayer >/dev/null 2>&1 && break; sleep 0.1; done

now_ms() { date +%s%3N; }

# vindrel processes in this network namespace (the lab's host).
vindrels() { pgrep --ns $$ --nslist net -x vindrel || true; }

# Waits up to $2 tenths of a second for process $1 to end; true when it did.
ended_within() {
  local i
  for ((i = 0; i < $2; i++)); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  ! kill -0 "$1" 2>/dev/null
}

# Clicks the OK button of notice window $1 (bottom right of the notice).
click_ok() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool windowraise "$1" mousemove $(( X + WIDTH - 167 )) $(( Y + HEIGHT - 31 )) click 1
}
