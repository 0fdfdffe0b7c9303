#!/usr/bin/env bash
# Two vindrel-scan --watch agents, one per lab link (each with its own
# servers), scraped every second by Debian's real Prometheus, inside the lab
# (scripts/netlab.sh run --interfaces 2 --servers 2 -- THIS). Checks through
# Prometheus' HTTP API that every server is up, that a server whose replies
# are dropped goes to 0 within two scrapes of the silent threshold and comes
# back, the event lines (found, silent, back), the service discovery list,
# the alert rule of dist/prometheus, then bad requests against an agent,
# which must get their error while /metrics still answers.
# The second agent has a network namespace of its own (unshare), holding
# link 2, since two agents cannot share UDP port 6000; a veth pair carries
# its HTTP.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
bin=${VINDREL_BIN_DIR:-$here/build/bin}
scan="$bin/vindrel-scan"
[ "${VINDREL_LAB:-}" = 1 ] || { echo "watch_prometheus.sh: run it inside scripts/netlab.sh run --interfaces 2" >&2; exit 2; }
work=$(mktemp -d /tmp/vindrel-watch-lab.XXXXXX)
silent_after=3
failures=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*"; failures=$((failures + 1)); }
calc() { awk "BEGIN { print ($1) }"; }
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

read -r -a ifs <<<"$VINDREL_LAB_INTERFACES"
read -r -a host_addrs <<<"$VINDREL_LAB_HOST_ADDRS"
read -r -a server_ns <<<"$VINDREL_LAB_SERVER_NS"
mapfile -t servers < <(awk '{print $1, $2}' "$VINDREL_LAB_DIR/servers.txt")
total=${#servers[@]}
[ "${#ifs[@]}" = 2 ] && [ "$total" -ge 2 ] || { echo "watch_prometheus.sh: wants two links with servers"; exit 2; }

# Agent 1: this namespace, link 1, HTTP on loopback.
"$scan" --watch --silent-after "$silent_after" --interface "${ifs[0]}" --state "$work/servers.db" \
  --metrics 127.0.0.1:6070 >"$work/events-1" 2>"$work/err-1" &
agent1=$!; pids+=("$agent1")

# Agent 2: a namespace of its own with link 2 moved in, HTTP on 10.99.0.2.
unshare --net bash -c 'echo $$ >"$1"; while [ ! -e "$2" ]; do sleep 0.05; done; shift 2; exec "$@"' _ \
  "$work/ns2.pid" "$work/ns2.ready" "$scan" --watch --silent-after "$silent_after" --interface "${ifs[1]}" \
  --metrics 10.99.0.2:6070 >"$work/events-2" 2>"$work/err-2" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/ns2.pid" ] && break; sleep 0.05; done
ns2=$(cat "$work/ns2.pid")
ip link set "${ifs[1]}" netns "$ns2"
ip link add vw1 type veth peer name vw2 netns "$ns2"
ip addr add 10.99.0.1/30 dev vw1 && ip link set vw1 up
nsenter -t "$ns2" -n sh -c "ip link set lo up && ip link set vw2 up && ip addr add 10.99.0.2/30 dev vw2 &&
  ip addr add ${host_addrs[1]}/16 dev ${ifs[1]} && ip link set ${ifs[1]} up" || bad "agent 2's namespace"
touch "$work/ns2.ready"

sed "s/> 300/> $silent_after/" "$here/dist/prometheus/vindrel.rules.yml" >"$work/lab.rules.yml"
cp "$here/dist/prometheus/vindrel.rules.yml" "$work/vindrel.rules.yml"
cat >"$work/prometheus.yml" <<CONFIG
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: [vindrel.rules.yml]
scrape_configs:
  - job_name: vindrel
    static_configs:
      - targets: ["127.0.0.1:6070", "10.99.0.2:6070"]
  - job_name: korvan-pages
    http_sd_configs:
      - url: http://127.0.0.1:6070/targets
        refresh_interval: 1s
      - url: http://10.99.0.2:6070/targets
        refresh_interval: 1s
CONFIG
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
  --web.listen-address=127.0.0.1:9090 >"$work/prometheus.log" 2>&1 &
pids+=($!)

# query EXPR: the values of an instant query, one "labels value" per line.
query() {
  curl -s --max-time 2 --data-urlencode "query=$1" http://127.0.0.1:9090/api/v1/query |
    python3 -c 'import json,sys
d=json.load(sys.stdin)
for r in d["data"]["result"]: print(r["metric"].get("id",""), r["value"][1])' 2>/dev/null
}
scalar() { query "$1" | awk '{print $NF}'; }
# until SECONDS EXPR WANT: polls the query every 0.25 s; answers how long it took.
until_value() {
  local limit=$1 expr=$2 want=$3 start
  start=$(date +%s.%N)
  while :; do
    [ "$(scalar "$expr")" = "$want" ] && { echo "$start $(date +%s.%N)" | awk '{printf "%.2f", $2 - $1}'; return 0; }
    [ "$(echo "$start $(date +%s.%N) $limit" | awk '{print ($2 - $1 > $3)}')" = 1 ] && return 1
    sleep 0.25
  done
}

took=$(until_value 30 'count(vindrel_server_up == 1)' "$total") &&
  ok "count(vindrel_server_up == 1) = $total, every server of both links, after ${took} s" ||
  bad "count(vindrel_server_up == 1) never reached $total (now '$(scalar 'count(vindrel_server_up == 1)')')"
# The simulators of both links number their Korvan IDs alike, so an
# agent's servers are told apart by address.
[ "$(scalar 'count(count by (address) (vindrel_server_info))')" = "$total" ] &&
  [ "$(scalar 'count(vindrel_server_info)')" = "$total" ] && ok "each server seen by one agent only" ||
  bad "servers seen twice or not at all: $(query 'count by (address) (vindrel_server_info)' | tr '\n' ' ')"
[ "$(scalar 'count(count by (instance) (vindrel_server_up))')" = 2 ] && ok "both agents scraped" || bad "not both agents"
until_value 10 'count(up{job="korvan-pages"})' "$total" >/dev/null &&
  ok "HTTP service discovery: one target per server from /targets" ||
  bad "HTTP service discovery gave '$(scalar 'count(up{job="korvan-pages"})')' targets for $total servers"

# Stop the second server of link 1: its replies are dropped on its side.
read -r _ victim_ip <<<"${servers[1]}"
victim=$(query "vindrel_server_info{address=\"$victim_ip\"}" | awk '{print $1}')
victim_up="vindrel_server_up{instance=\"127.0.0.1:6070\",id=\"$victim\"}"
[ -n "$victim" ] || bad "no vindrel_server_info for $victim_ip"
dropped_at=$(date +%s.%N)
ip netns exec "${server_ns[0]}" nft -f - <<NFT
table inet watchlab {
  chain out {
    type filter hook output priority 0;
    ip saddr $victim_ip udp dport 6000 drop
  }
}
NFT
# Judged by the timestamp of the first scrape that holds the 0, not by when
# this script's polling noticed it (a busy machine delays the polling).
limit=$(calc "$silent_after + 2")  # two scrapes of 1 s
if until_value 20 "$victim_up" 0 >/dev/null; then
  first_zero=$(curl -s --data-urlencode "query=${victim_up}[60s]" http://127.0.0.1:9090/api/v1/query |
    python3 -c 'import json,sys
for t, v in json.load(sys.stdin)["data"]["result"][0]["values"]:
    if v == "0": print(t); break')
  took=$(calc "$first_zero - $dropped_at")
  [ "$(calc "$took <= $limit")" = 1 ] &&
    ok "$victim went to 0 in the scrape ${took} s after its replies stopped (silent after $silent_after s; at most $limit)" ||
    bad "$victim went to 0 only in the scrape ${took} s after its replies stopped (at most $limit)"
else
  bad "$victim never went to 0"
fi
[ "$(scalar 'count(vindrel_server_up == 1)')" = $((total - 1)) ] && ok "count(vindrel_server_up == 1) = $((total - 1))" ||
  bad "count(vindrel_server_up == 1) = '$(scalar 'count(vindrel_server_up == 1)')'"

# The alert rule's expression: with the lab's threshold it names the silent
# server alone, with its name and address; as written (5 minutes), nothing.
lab_expr=$(sed -n 's/^ *expr: //p' "$work/lab.rules.yml")
rule_expr=$(sed -n 's/^ *expr: //p' "$work/vindrel.rules.yml")
sleep 1
alerting=$(query "$lab_expr" | awk '{print $1}')
[ "$alerting" = "$victim" ] && ok "the alert expression (threshold $silent_after s) gives $victim alone" ||
  bad "the alert expression gives '$alerting', not $victim"
[ "$(curl -s --data-urlencode "query=$lab_expr" http://127.0.0.1:9090/api/v1/query | grep -c "\"address\":\"$victim_ip\"")" = 1 ] &&
  ok "the alert carries the server's address from vindrel_server_info" || bad "no address on the alert"
[ -z "$(query "$rule_expr")" ] && ok "the 5-minute rule as written is empty now" || bad "the 5-minute rule fires already"

ip netns exec "${server_ns[0]}" nft delete table inet watchlab
until_value 10 'count(vindrel_server_up == 1)' "$total" >/dev/null && ok "$victim back: all $total up again" ||
  bad "$victim did not come back"

kinds=$(python3 -c 'import json,sys
for l in open(sys.argv[1]):
    e=json.loads(l)
    if e["id"]==sys.argv[2]: print(e["event"])' "$work/events-1" "$victim" | tr '\n' ' ')
silent_at=$(python3 -c 'import json,sys,datetime
for l in open(sys.argv[1]):
    e=json.loads(l)
    if e["id"]==sys.argv[2] and e["event"]=="silent":
        t=datetime.datetime.strptime(e["at"],"%Y-%m-%dT%H:%M:%S.%fZ").replace(tzinfo=datetime.timezone.utc)
        print("%.2f" % (t.timestamp()-float(sys.argv[3])))' "$work/events-1" "$victim" "$dropped_at")
echo "the silent event came ${silent_at} s after the replies were dropped"
[ "$kinds" = "found silent back " ] && ok "events of $victim: $kinds" || bad "events of $victim: '$kinds'"
lines=$(wc -l <"$work/events-2")
[ "$(grep -c '"event":"found"' "$work/events-2")" = "$lines" ] && [ "$lines" -ge 1 ] &&
  ok "agent 2: $lines found events, nothing else" || bad "agent 2's events: $(cat "$work/events-2")"

# Bad requests, each with the error it must get.
url=http://127.0.0.1:6070
status() { curl -s -o /dev/null --max-time 5 -w '%{http_code}' "$@"; }
{ printf 'X-Big: '; head -c 200000 /dev/zero | tr '\0' a; echo; } >"$work/big-header"
while IFS='|' read -r what want args; do
  # shellcheck disable=SC2086
  got=$(eval status $args)
  [ "$got" = "$want" ] && ok "$what: $got" || bad "$what: $got, not $want"
done <<'TABLE'
GET /metrics|200|$url/metrics
HEAD /metrics|200|-I $url/metrics
GET /targets|200|$url/targets
POST /metrics|405|-X POST -d x=1 $url/metrics
PUT /targets|405|-X PUT $url/targets
DELETE /metrics|405|-X DELETE $url/metrics
an unknown path|404|$url/admin
/metrics with a trailing part|404|$url/metrics/x
.. in the path|404|--path-as-is $url/../metrics
.. inside the path|404|--path-as-is $url/targets/../../etc/passwd
a 200 kB header|431|-H @$work/big-header $url/metrics
TABLE
allow=$(curl -s -D - -o /dev/null -X POST "$url/metrics" | tr -d '\r' | sed -n 's/^Allow: //Ip')
[ "$allow" = "GET, HEAD" ] && ok "405 says Allow: GET, HEAD" || bad "Allow: '$allow'"
head_body=$(curl -s -X HEAD --max-time 2 "$url/metrics" | wc -c)
[ "$head_body" = 0 ] && ok "HEAD has no body" || bad "HEAD sent $head_body bytes"

# 500 idle connections from one client (127.0.0.2): beyond its share they are
# closed at once; meanwhile another client still gets /metrics.
python3 - "$work/idle" <<'PY' &
import socket, sys, time
held = []
for _ in range(500):
    s = socket.socket()
    s.bind(("127.0.0.2", 0))
    try:
        s.connect(("127.0.0.1", 6070))
        held.append(s)
    except OSError:
        pass
time.sleep(1)
open_ = 0
for s in held:
    s.setblocking(False)
    try:
        data = s.recv(1)
        alive = False if data == b"" else True
    except BlockingIOError:
        alive = True
    except OSError:
        alive = False
    open_ += alive
open(sys.argv[1], "w").write(f"{open_}\n")
time.sleep(3)
PY
idle_pid=$!
sleep 1.5
metrics_during=$(status "$url/metrics")
wait "$idle_pid"
held=$(cat "$work/idle")
[ "$held" -le 8 ] && ok "500 idle connections from one client: $held held, the rest closed at once" ||
  bad "500 idle connections: $held held open"
[ "$metrics_during" = 200 ] && ok "/metrics answers another client meanwhile" || bad "/metrics during the idle flood: $metrics_during"

replies_before=$(scalar 'sum(vindrel_replies_received_total{instance="127.0.0.1:6070"})')
curl -s "$url/metrics" >"$work/metrics.txt"
lint=$(promtool check metrics <"$work/metrics.txt" 2>&1)
[ -z "$lint" ] && ok "promtool check metrics finds nothing ($(wc -l <"$work/metrics.txt") lines)" || bad "promtool: $lint"
sleep 2
replies_after=$(scalar 'sum(vindrel_replies_received_total{instance="127.0.0.1:6070"})')
[ "$(calc "${replies_after:-0} > ${replies_before:-0}")" = 1 ] && kill -0 "$agent1" &&
  ok "after the bad requests the agent runs and still takes replies ($replies_before → $replies_after)" ||
  bad "the agent stopped ($replies_before → $replies_after)"

kill -TERM "$agent1"; wait "$agent1"; rc=$?
[ "$rc" = 0 ] && ok "SIGTERM: exit 0" || bad "SIGTERM: exit $rc"
[ -s "$work/err-1" ] && echo "agent 1 said: $(cat "$work/err-1")"
[ "$failures" = 0 ] || { echo "$failures checks failed"; tail -5 "$work/prometheus.log"; exit 1; }
echo "all checks passed"
