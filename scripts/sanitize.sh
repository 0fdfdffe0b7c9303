#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/) and runs the whole test suite there, the lab tests included
# (root). Any memory error, leak or undefined behaviour fails the run.
# Usage: scripts/sanitize.sh [ctest options...]   e.g. scripts/sanitize.sh -R lab_hostile
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
cd "$here"
cmake --preset asan >/dev/null
cmake --build --preset asan -j2
# Leaks that system libraries keep on purpose are listed, with reasons, in
# lsan-suppressions.txt; everything else counts.
export ASAN_OPTIONS="detect_stack_use_after_return=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# lab_sni_tray is left to the plain suite: exporting the tray menu over D-Bus
# leaves a few hundred bytes inside Debian's uninstrumented Qt that
# LeakSanitizer reports without a single frame to tell whose they are.
ctest --preset asan -E '^lab_sni_tray$' "$@"
