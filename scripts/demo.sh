#!/usr/bin/env bash
# The main job on a fresh machine: installs and builds (scripts/setup.sh),
# then builds a private network lab with five simulated Korvan servers, each
# with its own MAC, and searches for them with vindrel-scan inside it. Nothing
# reaches the machine's own network. Needs root (network namespaces).
# Usage: scripts/demo.sh [--no-setup] [vindrel-scan options, default --seconds 3]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
setup=1
case "${1:-}" in
  -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --no-setup) setup=0; shift ;;
esac
if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh: the lab's network namespaces need root: sudo $0 $*" >&2
  exit 1
fi
[ "$setup" = 0 ] || "$here/scripts/setup.sh"
[ $# -gt 0 ] || set -- --seconds 3
echo "demo: five simulated servers on 10.21.1.1-5 in a private lab; searching..."
exec "$here/scripts/netlab.sh" run --bin "$here/build/bin" --servers 5 --macvlan -- "$here/build/bin/vindrel-scan" "$@"
