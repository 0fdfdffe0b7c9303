#!/usr/bin/env bash
# Builds the discovery engine, its tools and tests with ThreadSanitizer
# (clang, build-tsan/) and runs the discovery tests, the lab ones included
# (root). Any data race fails the run.
# Usage: scripts/tsan.sh [ctest options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
build="$here/build-tsan"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVINDREL_SANITIZE=thread -DVINDREL_WITH_GUI=OFF >/dev/null
cmake --build "$build" --target test_server_record test_lab_discovery vindrel-scan korvan-sim
# Kernels with 32+ bits of mmap randomness break this ThreadSanitizer's
# memory layout ("unexpected memory mapping"); run without randomisation.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
norand=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  norand=(setarch "$(uname -m)" -R)
fi
"${norand[@]}" ctest --test-dir "$build" --output-on-failure -L discovery -LE heavy "$@"
