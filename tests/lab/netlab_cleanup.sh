#!/usr/bin/env bash
# A lab whose netlab.sh was killed with SIGKILL leaves its namespaces and its
# folder; "netlab.sh clean" (and the next run) removes them, and only them.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
netlab="$here/scripts/netlab.sh"
tmp=$(mktemp -d); export TMPDIR=$tmp
trap 'rm -rf "$tmp"' EXIT
"$netlab" run --servers 1 ${VINDREL_BIN_DIR:+--bin "$VINDREL_BIN_DIR"} -- sleep 60 &
lab=$!
for _ in $(seq 1 100); do ip netns list | grep -q "^vl${lab}h" && ls "$tmp"/vindrel-lab."$lab".* >/dev/null 2>&1 && break; sleep 0.1; done
ip netns list | grep -q "^vl${lab}h" || { echo "FAIL: the lab did not come up"; exit 1; }
kill -9 "$lab"; wait "$lab" 2>/dev/null
# Its children (ip netns exec sleep, korvan-sim) may linger; clean ends them.
ls -d "$tmp"/vindrel-lab."$lab".* >/dev/null 2>&1 || { echo "FAIL: no folder to leave behind"; exit 1; }
mkdir "$tmp/vindrel-lab.$$.alive"   # a live run's folder: must stay
"$netlab" clean
fail=0
ip netns list | grep -q "^vl${lab}[hsr]" && { echo "FAIL: namespaces of the killed run remain"; fail=1; }
ls -d "$tmp"/vindrel-lab."$lab".* >/dev/null 2>&1 && { echo "FAIL: the killed run's folder remains"; fail=1; }
[ -d "$tmp/vindrel-lab.$$.alive" ] || { echo "FAIL: a live run's folder was removed"; fail=1; }
[ "$fail" = 0 ] && echo "ok: clean removed what the killed run left, and nothing else"
exit "$fail"
