#!/usr/bin/env bash
# Runs a command under a private Xvfb display (no TCP listener) with a tray
# (trayer), in a private XDG_RUNTIME_DIR; removes both afterwards.
# Usage: scripts/in-x-session.sh COMMAND [ARGS...]   (exit code: COMMAND's)
set -uo pipefail
x_session_name=${x_session_name:-run}
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
"$@" &
session_pids+=($!)
wait $!
rc=$?
exit "$rc"
