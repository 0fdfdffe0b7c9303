#!/usr/bin/env bash
# vindrel-scan --watch --metrics with N servers answering twice a second
# (1,000: 2,000 replies/s), scraped once a second, for S seconds: its share
# of a core and its memory at the start and the end; beside plain
# vindrel-scan searching the same servers for the same time in the same lab.
# Runs inside the lab: scripts/netlab.sh run --servers N --neigh static -- THIS [S]
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${VINDREL_BIN_DIR:-$here/build/bin}
seconds=${1:-600}
warmup=10
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
measure() {  # measure NAME PID FILE: CPU over the run after the warm-up, RSS then and at the end; CPU into FILE
  local name=$1 pid=$2 file=$3
  sleep "$warmup"
  local t0 r0 w0 t1 r1 w1
  t0=$(ticks "$pid"); r0=$(rss "$pid"); w0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(ticks "$pid"); r1=$(rss "$pid"); w1=$(date +%s.%N)
  awk -v f="$file" -v n="$name" -v t="$((t1 - t0))" -v hz="$hz" -v w0="$w0" -v w1="$w1" -v r0="$r0" -v r1="$r1" \
    'BEGIN { cpu = 100 * t / hz / (w1 - w0); printf "%-32s %5.2f%% of a core  RSS %6d kB at the start, %6d kB at the end (%+d kB)\n", n, cpu, r0, r1, r1 - r0; print cpu > f }'
}
servers=$(wc -l <"$VINDREL_LAB_DIR/servers.txt")
echo "$servers servers, twice a second each; $seconds s after a $warmup s warm-up"
"$bin/vindrel-scan" --watch --metrics 127.0.0.1:6070 >/dev/null 2>&1 &
watch=$!
( while kill -0 "$watch" 2>/dev/null; do curl -s -o /dev/null http://127.0.0.1:6070/metrics; sleep 1; done ) &
scraper=$!
measure "vindrel-scan --watch --metrics" "$watch" "$out/watch"
lines=$(curl -s http://127.0.0.1:6070/metrics | grep -c '^vindrel_server_up{')
echo "  the agent knew $lines servers at the end"
kill -TERM "$watch"; wait "$watch" 2>/dev/null; kill "$scraper" 2>/dev/null; wait 2>/dev/null
"$bin/vindrel-scan" --seconds $((seconds + warmup + 5)) --json >/dev/null 2>&1 &
plain=$!
measure "vindrel-scan (plain search)" "$plain" "$out/plain"
kill "$plain" 2>/dev/null; wait 2>/dev/null
awk -v w="$(cat "$out/watch")" -v p="$(cat "$out/plain")" 'BEGIN { printf "the watch costs %.2fx the plain search (%+.2f points of a core); budget 2%% of a core: %s\n", w / p, w - p, (w <= 2 ? "met" : "NOT met") }'
