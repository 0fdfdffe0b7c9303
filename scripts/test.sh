#!/usr/bin/env bash
# Sets up (packages, build) and runs every test. Lab tests build private
# network namespaces and so need root; nothing leaves them.
# Usage: scripts/test.sh [ctest options...]   e.g. scripts/test.sh -R locale
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in -h|--help) sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
"$here/scripts/setup.sh"
cd "$here"
ctest --preset default "$@"
