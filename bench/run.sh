#!/usr/bin/env bash
# Quick look (scripts/bench.sh gives the whole table). Times finding N simulated servers (N = 10, 100, 1000 unless given) in the
# lab: vindrel-scan --wait-for N, the engine in process, and a minimal receive
# loop for comparison. Needs root (the lab) and a build (default build/).
# Usage: bench/run.sh [--build DIR] [N...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
if [ "${1:-}" = --build ]; then build=$(cd "$2" && pwd); shift 2; fi
case "${1:-}" in -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
cmake --build "$build" --target bench_discovery >/dev/null
counts=("$@"); [ ${#counts[@]} -gt 0 ] || counts=(10 100 1000)
for n in "${counts[@]}"; do
  "$here/scripts/netlab.sh" run --bin "$build/bin" --servers "$n" --neigh static -- "$build/bench/bench_discovery" "$n"
done
