# Sourced by scripts that run the real window on Wayland without a desktop:
# a private weston (headless, software rendering, no tray, no taskbar) in a
# private XDG_RUNTIME_DIR, removed when the sourcing script exits. --debug
# lets weston-screenshooter take pictures (shot_wayland FILE).
# Gives: $work, session_pids (killed at exit), fail MESSAGE, shot_wayland FILE.
# Set wayland_session_name before sourcing to name the folder (default "wl").

work=$(mktemp -d "/tmp/vindrel-${wayland_session_name:-wl}-XXXXXX")
chmod 700 "$work"
session_pids=()
end_session() {
  [ "$BASHPID" = "$$" ] || return 0
  for p in "${session_pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap end_session EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.out; do [ -s "$f" ] || continue; echo "--- $f" >&2; tail -5 "$f" >&2; done
  exit 1
}

export XDG_RUNTIME_DIR=$work LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY
socket=wayland-vindrel
weston --backend=headless-backend.so --use-pixman --socket=$socket --width=1280 --height=800 \
  --idle-time=0 --debug >"$work/weston.out" 2>&1 &
session_pids+=($!)
for _ in $(seq 50); do [ -S "$work/$socket" ] && break; sleep 0.1; done
[ -S "$work/$socket" ] || fail "weston did not start"
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland

# The whole output as weston composes it, into FILE (png).
shot_wayland() {
  (cd "$work" && rm -f wayland-screenshot-*.png && timeout 10 weston-screenshooter >/dev/null 2>&1) ||
    fail "weston-screenshooter failed"
  mv "$work"/wayland-screenshot-*.png "$1" || fail "no screenshot"
}
