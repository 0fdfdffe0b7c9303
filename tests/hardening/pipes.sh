#!/usr/bin/env bash
# The real vindrel with its standard output in pipes, inside the lab under a
# private X server: `vindrel | head -1` ends head, not vindrel; with
# `vindrel | sleep 1000` (a reader that never reads) the pipe fills and the
# program goes on probing, and a SIGTERM still ends it at once with 0.
# Usage (from ctest): netlab.sh run ... -- pipes.sh BIN_DIR
set -uo pipefail
bin=${1:?bin dir}
# shellcheck source=x_session.sh
. "$(dirname "$0")/x_session.sh"

probes() { cat "$VINDREL_LAB_DIR"/probes-*.log 2>/dev/null | wc -l; }
await_window() {
  timeout 15 xdotool search --sync --onlyvisible --name '^Vindrel$' >/dev/null || fail "$1: no main window"
}

# --- a reader that goes away
"$bin/vindrel" 2>"$work/head-err.out" | head -1 >"$work/head.out" &
head_pid=$!
await_window head
for _ in $(seq 50); do [ -s "$work/head.out" ] && break; sleep 0.1; done
sleep 1   # lines go on being written into the closed pipe
pid=$(vindrels)
[ -n "$pid" ] || fail "vindrel ended when head did (SIGPIPE): $(cat "$work/head-err.out")"
[ "$(wc -l <"$work/head.out")" = 1 ] || fail "head got no line"
kill -TERM "$pid"; ended_within "$pid" 10 || fail "after head: SIGTERM did not end it within 1 s"
wait "$head_pid"
echo "ok: vindrel | head -1 ends head, not vindrel"

# --- a reader that never reads
"$bin/vindrel" 2>"$work/sleep-err.out" | sleep 1000 &
reader=$!
session_pids+=("$reader")
await_window sleep
pid=$(vindrels)
# 60 servers: about three kilobytes of lines a second fill the 64 kB pipe in
# some twenty seconds.
sleep 28
before=$(probes)
sleep 3
after=$(probes)
(( after - before >= 4 )) || fail "probing stopped once the pipe was full ($before -> $after probes)"
asked=$(now_ms)
kill -TERM "$pid"; ended_within "$pid" 10 || fail "with a full pipe: SIGTERM did not end it within 1 s"
echo "ok: with a full pipe it goes on probing ($((after - before)) probes in 3 s) and ends in $(( $(now_ms) - asked )) ms"
kill "$reader" 2>/dev/null
