# Sourced by scripts that run the real window on Wayland without a desktop:
# a private weston (headless, software rendering, no tray, no taskbar) in a
# private XDG_RUNTIME_DIR, removed when the sourcing script exits. --debug
# lets weston-screenshooter take pictures (shot_wayland FILE).
# Gives: $work, session_pids (killed at exit), fail MESSAGE, shot_wayland FILE.
# Set wayland_session_name before sourcing to name the folder (default "wl").

session_folder_name=${wayland_session_name:-wl}
# shellcheck source=session-folder.sh
. "$(dirname "${BASH_SOURCE[0]}")/session-folder.sh"

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
