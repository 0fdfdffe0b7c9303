#!/usr/bin/env bash
# Builds the discovery engine, its tools and tests, and the main window's
# tests with ThreadSanitizer (clang, build-tsan/), and runs the discovery
# tests, the lab ones included (root), the window's hand-off from a listener
# thread, and the real window with the real engine in the lab. Any data race
# fails the run.
# Usage: scripts/tsan.sh [ctest options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
build="$here/build-tsan"
cd "$here"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j2 --target tests_discovery test_lab_discovery vindrel-scan korvan-sim \
  test_serverlist test_mainwindow_lab test_hostile_lan
# Debian's Qt is not instrumented: tsan-suppressions.txt says which hand-offs
# through it ThreadSanitizer cannot see, and why.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$here/scripts/tsan-suppressions.txt ${TSAN_OPTIONS:-}"
# Kernels with 32+ bits of mmap randomness break this ThreadSanitizer's
# memory layout ("unexpected memory mapping"); run without randomisation.
norand=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  norand=(setarch "$(uname -m)" -R)
fi
"${norand[@]}" ctest --test-dir "$build" --output-on-failure -L discovery -LE heavy "$@"
# The window with threads: a listener thread's pushes, the real engine in the
# lab, and the hostile LAN's flood against the real window.
"${norand[@]}" ctest --test-dir "$build" --output-on-failure -R '^(test_serverlist|lab_main_window|lab_hostile_lan)$' "$@"
