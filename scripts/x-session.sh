# Sourced by scripts that run the real window without a desktop: a private
# X server (Xvfb, no TCP listener) with a tray (trayer), in a private
# XDG_RUNTIME_DIR, all removed when the sourcing script exits.
# Set x_session_tray=none to start no tray (another host comes instead),
# x_session_wm=openbox to start a real window manager.
# Gives: $work (a private folder), session_pids (killed at exit; add your own
# background processes), fail MESSAGE (prints the tails of $work/*.out, exits 1),
# click_notice_ok WINDOW (the running-instance notice's OK button).
# Set x_session_name before sourcing to name the folder (default "x").

session_folder_name=${x_session_name:-x}
# shellcheck source=session-folder.sh
. "$(dirname "${BASH_SOURCE[0]}")/session-folder.sh"

display=:$(( 50 + RANDOM % 400 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
session_pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start on $display"
if [ "${x_session_wm:-}" = openbox ]; then
  openbox --sm-disable >"$work/openbox.out" 2>&1 &
  session_pids+=($!)
  # openbox owns the screen once it sets _NET_SUPPORTING_WM_CHECK.
  for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
fi
if [ "${x_session_tray:-trayer}" != none ]; then
  trayer --edge bottom --align right --widthtype request --height 32 >"$work/trayer.out" 2>&1 &
  session_pids+=($!)
  for _ in $(seq 50); do xdotool search --onlyvisible --class trayer >/dev/null 2>&1 && break; sleep 0.1; done
fi

# OK lies at the bottom right of the notice (message.xml).
click_notice_ok() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool windowraise "$1" mousemove $(( X + WIDTH - 167 )) $(( Y + HEIGHT - 31 )) click 1
}
