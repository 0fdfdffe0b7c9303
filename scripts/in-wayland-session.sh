#!/usr/bin/env bash
# Runs a command on a private weston (headless, Wayland) in a private
# XDG_RUNTIME_DIR; removes both afterwards.
# Usage: scripts/in-wayland-session.sh COMMAND [ARGS...]   (exit code: COMMAND's)
set -uo pipefail
wayland_session_name=${wayland_session_name:-run}
# shellcheck source=wayland-session.sh
. "$(dirname "$0")/wayland-session.sh"
"$@" &
session_pids+=($!)
wait $!
exit $?
