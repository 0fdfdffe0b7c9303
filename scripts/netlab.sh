#!/usr/bin/env bash
# The network lab: private network namespaces in which the discovery protocol
# runs end to end without a packet reaching any shared network.
#
# Usage: scripts/netlab.sh run [options] -- COMMAND [ARGS...]
#        scripts/netlab.sh clean      (remove namespaces left by killed runs)
#        scripts/netlab.sh --help
#
# "run" builds a host namespace with one or two interfaces (vh1, vh2), each a
# veth pair to its own server namespace running korvan-sim, runs COMMAND in
# the host namespace and removes everything on exit, failure and Ctrl-C. It
# exits with COMMAND's exit code, or 3 when the lab cannot be built. Needs root.
#
# Options of run:
#   --servers N        simulated servers on each link (default 3)
#   --interfaces 1|2   host interfaces, each on its own link (default 1)
#   --macvlan          one macvlan device (own MAC) per server; otherwise all
#                      servers are addresses on the server side's veth
#   --neigh MODE       learn: the host learns servers' MACs from their ARP as
#                      usual (default); static: permanent host-side entries for
#                      every server and none learnt (benchmarks); none: servers
#                      never ARP for the host, so it has no entry until it asks
#   --sim-args "ARGS"  extra korvan-sim arguments (e.g. "--silent", "--raw F")
#   --bin DIR          where korvan-sim is (default: $VINDREL_BIN_DIR or build/bin)
#
# Layout: link k (1 or 2) is 10.2k.0.0/16; the host is 10.2k.0.1 on vhk, the
# server side's veth vsk is 10.2k.0.2, servers are 10.2k.1.1 onwards.
# COMMAND sees: VINDREL_LAB=1, VINDREL_LAB_DIR (servers.txt "k ip mac" per
# server, probes-k.log, sim-k.err), VINDREL_LAB_INTERFACES, VINDREL_LAB_HOST_ADDRS,
# VINDREL_LAB_SERVERS (per link), VINDREL_LAB_SERVER_NS.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

die() { echo "netlab: $*" >&2; exit 3; }
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

cmd=${1:-}
case "$cmd" in
  -h|--help|help) usage; exit 0 ;;
  run) shift ;;
  clean)
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E '^vl[0-9]+(h|s[12])$' || true); do
      pid=${ns#vl}; pid=${pid%h}; pid=${pid%s[12]}
      kill -0 "$pid" 2>/dev/null || { ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null || true; ip netns del "$ns"; echo "removed $ns"; }
    done
    exit 0 ;;
  *) echo "netlab: usage: netlab.sh run [options] -- COMMAND... (try --help)" >&2; exit 2 ;;
esac

servers=3 links=1 macvlan=0 neigh=learn sim_args="" bin=${VINDREL_BIN_DIR:-$here/build/bin}
while [ $# -gt 0 ]; do
  case "$1" in
    --servers) servers=${2:?}; shift 2 ;;
    --interfaces) links=${2:?}; shift 2 ;;
    --macvlan) macvlan=1; shift ;;
    --neigh) neigh=${2:?}; shift 2 ;;
    --sim-args) sim_args=${2-}; shift 2 ;;
    --bin) bin=${2:?}; shift 2 ;;
    --) shift; break ;;
    *) echo "netlab: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "netlab: no command given (try --help)" >&2; exit 2; }
[[ "$servers" =~ ^[0-9]+$ ]] && [ "$servers" -le 60000 ] || { echo "netlab: --servers wants 0..60000" >&2; exit 2; }
[[ "$links" =~ ^[12]$ ]] || { echo "netlab: --interfaces wants 1 or 2" >&2; exit 2; }
[[ "$neigh" =~ ^(learn|static|none)$ ]] || { echo "netlab: --neigh wants learn, static or none" >&2; exit 2; }

[ "$(id -u)" -eq 0 ] || die "cannot build the lab: network namespaces need root (run as root or with sudo)"
command -v ip >/dev/null || die "cannot build the lab: 'ip' (iproute2) is missing; run scripts/setup.sh"
sim="$bin/korvan-sim"
[ -x "$sim" ] || die "cannot build the lab: $sim not found; build first (scripts/setup.sh) or pass --bin DIR"

id="vl$$"
host_ns="${id}h"
lab_dir=$(mktemp -d "${TMPDIR:-/tmp}/vindrel-lab.XXXXXX")
made_ns=()
sim_pids=()

cleanup() {
  local rc=$?
  trap - EXIT INT TERM
  for p in "${sim_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${sim_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  # Quietly: bash would report the command it ends here as "Killed".
  {
    for ns in "${made_ns[@]}"; do
      ip netns pids "$ns" | xargs -r kill -9 || true
      ip netns del "$ns" || true
    done
    wait || true
  } 2>/dev/null
  rm -rf "$lab_dir"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

add_ns() { ip netns add "$1" || die "cannot build the lab: 'ip netns add $1' failed"; made_ns+=("$1"); ip -n "$1" link set lo up; }

ip_of() {  # ip_of LINK INDEX: sets REPLY to 10.2k.1.1 + INDEX (no subshell: 1000s of calls)
  local n=$(( ((10 << 24) | ((20 + $1) << 16) | (1 << 8) | 1) + $2 ))
  REPLY="$(( n >> 24 & 255 )).$(( n >> 16 & 255 )).$(( n >> 8 & 255 )).$(( n & 255 ))"
}

add_ns "$host_ns"
server_ns=() host_ifs=() host_addrs=()
: > "$lab_dir/servers.txt"
for k in $(seq 1 "$links"); do
  ns="${id}s$k"; add_ns "$ns"; server_ns+=("$ns")
  ip -n "$host_ns" link add "vh$k" type veth peer name "vs$k" netns "$ns" || die "cannot build the lab: veth pair $k failed"
  ip -n "$host_ns" addr add "10.2$k.0.1/16" dev "vh$k"
  ip -n "$host_ns" link set "vh$k" up
  ip -n "$ns" addr add "10.2$k.0.2/16" dev "vs$k"
  ip -n "$ns" link set "vs$k" up
  host_ifs+=("vh$k") host_addrs+=("10.2$k.0.1")
  # Only the device that holds an address answers ARP for it, and asks with
  # it: each macvlan server shows its own MAC, never the parent's.
  ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.arp_ignore=1 net.ipv4.conf.all.arp_announce=2

  batch="$lab_dir/batch-$k"; : > "$batch"
  for i in $(seq 0 $((servers - 1))); do
    ip_of "$k" "$i"
    if [ "$macvlan" = 1 ]; then
      printf 'link add mv%d link vs%d type macvlan mode bridge\naddr add %s/16 dev mv%d\nlink set mv%d up\n' \
        "$i" "$k" "$REPLY" "$i" "$i" >> "$batch"
    else
      printf 'addr add %s/16 dev vs%d\n' "$REPLY" "$k" >> "$batch"
    fi
  done
  [ "$servers" -eq 0 ] || ip -n "$ns" -batch "$batch" || die "cannot build the lab: server addresses on link $k failed"

  vs_mac=$(ip -n "$ns" -br link show dev "vs$k" | awk '{print $3}')
  declare -A macs=()
  if [ "$macvlan" = 1 ]; then
    while read -r name _ mac _; do macs[${name%@*}]=$mac; done < <(ip -n "$ns" -br link show type macvlan)
  fi
  nbatch="$lab_dir/neigh-$k"; : > "$nbatch"
  for i in $(seq 0 $((servers - 1))); do
    ip_of "$k" "$i"; addr=$REPLY
    mac=$vs_mac; [ "$macvlan" = 1 ] && mac=${macs[mv$i]}
    echo "$k $addr $mac" >> "$lab_dir/servers.txt"
    echo "neigh replace $addr lladdr $mac dev vh$k nud permanent" >> "$nbatch"
  done
  unset macs
  host_mac=$(ip -n "$host_ns" -br link show dev "vh$k" | awk '{print $3}')
  if [ "$neigh" != learn ]; then
    # Servers know the host already, so they never ARP and the host learns nothing.
    devs="vs$k"; [ "$macvlan" = 1 ] && devs="vs$k $(seq -f 'mv%g' 0 $((servers - 1)) | tr '\n' ' ')"
    sbatch="$lab_dir/sneigh-$k"; : > "$sbatch"
    for d in $devs; do echo "neigh replace 10.2$k.0.1 lladdr $host_mac dev $d nud permanent" >> "$sbatch"; done
    ip -n "$ns" -batch "$sbatch" || die "cannot build the lab: server-side neighbour entries failed"
  fi
  if [ "$neigh" = static ] && [ "$servers" -gt 0 ]; then
    ip -n "$host_ns" -batch "$nbatch" || die "cannot build the lab: host-side neighbour entries failed"
  fi

  ip_of "$k" 0; first=$REPLY
  # shellcheck disable=SC2086
  ip netns exec "$ns" "$sim" --interface "vs$k" --first-address "$first" --count "$servers" \
    --probe-log "$lab_dir/probes-$k.log" --ready-file "$lab_dir/ready-$k" $sim_args \
    > "$lab_dir/sim-$k.out" 2> "$lab_dir/sim-$k.err" &
  sim_pids+=($!)
done

for k in $(seq 1 "$links"); do
  for _ in $(seq 1 200); do
    [ -e "$lab_dir/ready-$k" ] && break
    kill -0 "${sim_pids[$((k - 1))]}" 2>/dev/null || die "korvan-sim on link $k failed: $(cat "$lab_dir/sim-$k.err")"
    sleep 0.05
  done
  [ -e "$lab_dir/ready-$k" ] || die "korvan-sim on link $k did not come up in 10 s"
done

# In the background so that a signal reaches the trap at once (bash defers
# traps until a foreground child ends); cleanup ends whatever still runs.
set +e
ip netns exec "$host_ns" env VINDREL_LAB=1 VINDREL_LAB_DIR="$lab_dir" \
  VINDREL_LAB_INTERFACES="${host_ifs[*]}" VINDREL_LAB_HOST_ADDRS="${host_addrs[*]}" \
  VINDREL_LAB_SERVERS="$servers" VINDREL_LAB_SERVER_NS="${server_ns[*]}" "$@" <&0 &
wait $!
rc=$?
set -e
exit "$rc"
