#!/usr/bin/env bash
# The main job on a fresh machine: installs (scripts/setup.sh), builds only
# the programs it runs, then a private network lab with five simulated
# Korvan servers, each with its own MAC, and opens the Vindrel window inside
# it, which finds them.
# The window opens on your display; without one ($DISPLAY unset) it runs
# under Xvfb for a few seconds and a screenshot is saved (build/demo.png).
# --scan searches with the command-line vindrel-scan instead. Nothing reaches
# the machine's own network. Needs root (network namespaces).
# Usage: scripts/demo.sh [--no-setup] [--scan [vindrel-scan options, default --seconds 3]]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
setup=1 scan=0
case "${1:-}" in
  -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --no-setup) setup=0; shift ;;
esac
case "${1:-}" in --scan) scan=1; shift ;; esac
if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh: the lab's network namespaces need root: sudo $0 $*" >&2
  exit 1
fi
[ "$setup" = 0 ] || "$here/scripts/setup.sh" --no-build
# Only the programs the demo starts; scripts/test.sh builds the rest.
[ -f "$here/build/CMakeCache.txt" ] || (cd "$here" && cmake --preset default >/dev/null)
cmake --build "$here/build" --target vindrel vindrel-scan korvan-sim vindrel_res
bin="$here/build/bin"
lab=("$here/scripts/netlab.sh" run --bin "$bin" --servers 5 --macvlan --)
echo "demo: five simulated servers on 10.21.1.1-5 in a private lab"

if [ "$scan" = 1 ]; then
  [ $# -gt 0 ] || set -- --seconds 3
  exec "${lab[@]}" "$bin/vindrel-scan" "$@"
fi

if [ -n "${DISPLAY:-}" ]; then
  # The lab's namespace reaches the X server through its socket file; the
  # window's own single-instance guard keeps to this display.
  echo "demo: opening the window on $DISPLAY; Exit from its tray menu (or close it) ends the demo"
  exec "${lab[@]}" env XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}" "$bin/vindrel"
fi

shot="$here/build/demo.png"
echo "demo: no display; running the window under Xvfb, screenshot to $shot"
exec "${lab[@]}" bash -c '
  set -u
  x_session_name=demo
  . "$3/scripts/x-session.sh"
  "$1/vindrel" >"$work/vindrel.out" 2>&1 &
  session_pids+=($!)
  sleep 5
  import -window root "$2" && echo "demo: saved $2"
' demo "$bin" "$shot" "$here"
