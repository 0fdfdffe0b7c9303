#!/usr/bin/env bash
# The network lab: private network namespaces in which the discovery protocol
# runs end to end without a packet reaching any shared network.
#
# Usage: scripts/netlab.sh run [options] -- COMMAND [ARGS...]
#        scripts/netlab.sh clean      (remove namespaces and folders left by killed runs)
#        scripts/netlab.sh --help
#
# "run" builds a host namespace with one or two interfaces (vh1, vh2), each a
# veth pair to its own server namespace running korvan-sim, runs COMMAND in
# the host namespace and removes everything on exit, failure and Ctrl-C. It
# exits with COMMAND's exit code, 2 for bad usage, or 3 when the lab cannot be
# built. Needs root. What a run killed with SIGKILL leaves behind is removed
# by "clean" and by the next run.
#
# Options of run:
#   --servers N        simulated servers on each link (default 3)
#   --interfaces 1|2   host interfaces, each on its own link (default 1)
#   --macvlan          one macvlan device (own MAC) per server; otherwise all
#                      servers are addresses on the server side's veth
#   --routed           servers on a subnet behind a router namespace: reached
#                      by unicast only, broadcasts never cross the router
#   --firewall drop    a default-deny nftables rule set in the host namespace
#                      (scripts/netlab-firewall-drop.nft): replies to port 6000
#                      are dropped, as a stock distribution firewall does
#   --neigh MODE       learn: the host learns servers' MACs from their ARP as
#                      usual (default); static: permanent entries for every
#                      neighbour and none learnt (benchmarks); none: servers
#                      never ARP for the host, so it has no entry until it asks
#                      (routed: the host's neighbour is the router)
#   --sim-args "ARGS"  extra korvan-sim arguments (e.g. "--silent", "--raw F")
#   --bin DIR          where korvan-sim is (default: $VINDREL_BIN_DIR or build/bin)
#
# Layout, link k (1 or 2):
#   plain:  one subnet 10.2k.0.0/16: the host is 10.2k.0.1 on vhk, the server
#           side's veth vsk is 10.2k.0.2, servers are 10.2k.1.1 onwards.
#   routed: host 10.2k.0.1/24 on vhk --- router namespace: 10.2k.0.254/24 on
#           vrk, 10.3k.0.254/16 on vqk, forwarding on, directed broadcasts
#           not forwarded --- server side vsk 10.3k.0.2/16, servers 10.3k.1.1
#           onwards. The host routes 10.3k.0.0/16 via 10.2k.0.254; the
#           servers' default route is 10.3k.0.254.
# korvan-sim logs probes to probes-k.log and Wake-on-LAN datagrams on UDP 9
# to wol-k.log (see korvan-sim --help for both formats).
# COMMAND sees: VINDREL_LAB=1, VINDREL_LAB_DIR (servers.txt "k ip mac" per
# server, probes-k.log, wol-k.log, sim-k.err), VINDREL_LAB_INTERFACES,
# VINDREL_LAB_HOST_ADDRS, VINDREL_LAB_SERVERS (per link),
# VINDREL_LAB_SERVER_NS, VINDREL_LAB_ROUTED (1 or 0),
# VINDREL_LAB_SERVER_SUBNETS (per link, e.g. "10.31.0.0/16"),
# VINDREL_LAB_ROUTERS (the host side's gateway per link; empty when plain),
# VINDREL_LAB_FIREWALL (none or drop).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

die() { echo "netlab: $*" >&2; exit 3; }
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
usage_error() { echo "netlab: ${1:+$1; }usage: netlab.sh run [options] -- COMMAND... (try --help)" >&2; exit 2; }
lab_tmp=${TMPDIR:-/tmp}

# Namespaces vl<pid>{h,s1,s2,r1,r2} and folders vindrel-lab.<pid>.* whose run
# has ended: a run killed with SIGKILL never reached its own cleanup.
clean_stale() {
  local ns pid dir
  for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E '^vl[0-9]+(h|s[12]|r[12])$' || true); do
    pid=${ns#vl}; pid=${pid%h}; pid=${pid%s[12]}; pid=${pid%r[12]}
    kill -0 "$pid" 2>/dev/null && continue
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null && echo "netlab: removed namespace $ns"
  done
  for dir in "$lab_tmp"/vindrel-lab.*; do
    [ -d "$dir" ] || continue
    pid=${dir##*/vindrel-lab.}; pid=${pid%%.*}
    [[ "$pid" =~ ^[0-9]+$ ]] || continue
    kill -0 "$pid" 2>/dev/null && continue
    rm -rf "$dir" && echo "netlab: removed folder $dir"
  done
}

cmd=${1:-}
case "$cmd" in
  -h|--help|help) usage; exit 0 ;;
  run) shift ;;
  clean)
    [ "$(id -u)" -eq 0 ] || die "clean needs root"
    clean_stale
    exit 0 ;;
  *) usage_error ;;
esac

servers=3 links=1 macvlan=0 routed=0 firewall=none neigh=learn sim_args="" bin=${VINDREL_BIN_DIR:-$here/build/bin}
while [ $# -gt 0 ]; do
  case "$1" in
    --servers|--interfaces|--neigh|--sim-args|--bin|--firewall)
      [ $# -ge 2 ] || usage_error "$1 needs a value" ;;
  esac
  case "$1" in
    --servers) servers=$2; shift 2 ;;
    --interfaces) links=$2; shift 2 ;;
    --macvlan) macvlan=1; shift ;;
    --routed) routed=1; shift ;;
    --firewall) firewall=$2; shift 2 ;;
    --neigh) neigh=$2; shift 2 ;;
    --sim-args) sim_args=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --) shift; break ;;
    *) usage_error "unknown option '$1'" ;;
  esac
done
[ $# -gt 0 ] || usage_error "no command given"
[[ "$servers" =~ ^[0-9]+$ ]] && [ "$servers" -le 60000 ] || usage_error "--servers wants 0..60000"
[[ "$links" =~ ^[12]$ ]] || usage_error "--interfaces wants 1 or 2"
[[ "$neigh" =~ ^(learn|static|none)$ ]] || usage_error "--neigh wants learn, static or none"
[[ "$firewall" =~ ^(none|drop)$ ]] || usage_error "--firewall wants drop (or none)"

[ "$(id -u)" -eq 0 ] || die "cannot build the lab: network namespaces need root (run as root or with sudo)"
command -v ip >/dev/null || die "cannot build the lab: 'ip' (iproute2) is missing; run scripts/setup.sh"
sim="$bin/korvan-sim"
[ -x "$sim" ] || die "cannot build the lab: $sim not found; build first (scripts/setup.sh) or pass --bin DIR"
if [ "$firewall" = drop ]; then
  command -v nft >/dev/null || die "cannot build the lab: 'nft' (nftables) is missing; run scripts/setup.sh"
fi

clean_stale >&2
id="vl$$"
host_ns="${id}h"
# Named by our pid, so that a later run can tell it is left over.
lab_dir=$(mktemp -d "$lab_tmp/vindrel-lab.$$.XXXXXX")
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

ip_of() {  # ip_of LINK INDEX: sets REPLY to 10.2k.1.1 (routed: 10.3k.1.1) + INDEX (no subshell: 1000s of calls)
  local n=$(( ((10 << 24) | ((20 + routed * 10 + $1) << 16) | (1 << 8) | 1) + $2 ))
  REPLY="$(( n >> 24 & 255 )).$(( n >> 16 & 255 )).$(( n >> 8 & 255 )).$(( n & 255 ))"
}

add_ns "$host_ns"
if [ "$firewall" = drop ]; then
  ip netns exec "$host_ns" nft -f "$here/scripts/netlab-firewall-drop.nft" ||
    die "cannot build the lab: the firewall rule set did not load"
fi
server_ns=() host_ifs=() host_addrs=() subnets=() routers=()
: > "$lab_dir/servers.txt"
for k in $(seq 1 "$links"); do
  ns="${id}s$k"; add_ns "$ns"; server_ns+=("$ns")
  host_ifs+=("vh$k") host_addrs+=("10.2$k.0.1")
  if [ "$routed" = 1 ]; then
    # host vhk --- vrk router vqk --- vsk servers
    net="10.3$k" side="10.3$k.0.2" prefix=16 gateway="10.3$k.0.254"
    subnets+=("10.3$k.0.0/16") routers+=("10.2$k.0.254")
    rns="${id}r$k"; add_ns "$rns"
    ip -n "$host_ns" link add "vh$k" type veth peer name "vr$k" netns "$rns" || die "cannot build the lab: veth pair $k failed"
    ip -n "$rns" link add "vq$k" type veth peer name "vs$k" netns "$ns" || die "cannot build the lab: router link $k failed"
    ip -n "$host_ns" addr add "10.2$k.0.1/24" brd + dev "vh$k"
    ip -n "$host_ns" link set "vh$k" up
    ip -n "$host_ns" route add "10.3$k.0.0/16" via "10.2$k.0.254" dev "vh$k"
    # With broadcast addresses, as a real router's: it knows 10.3k.255.255
    # for the subnet's broadcast and so never forwards it.
    ip -n "$rns" addr add "10.2$k.0.254/24" brd + dev "vr$k"
    ip -n "$rns" addr add "10.3$k.0.254/16" brd + dev "vq$k"
    ip -n "$rns" link set "vr$k" up
    ip -n "$rns" link set "vq$k" up
    # Unicast is forwarded both ways; the limited broadcast never is, and
    # directed broadcasts (10.3k.255.255) are not either.
    ip netns exec "$rns" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.conf.all.bc_forwarding=0 \
      net.ipv4.conf.default.bc_forwarding=0 net.ipv4.conf.vr$k.bc_forwarding=0 net.ipv4.conf.vq$k.bc_forwarding=0 ||
      die "cannot build the lab: the router's forwarding settings failed"
  else
    net="10.2$k" side="10.2$k.0.2" prefix=16 gateway=""
    subnets+=("10.2$k.0.0/16") routers+=("")
    ip -n "$host_ns" link add "vh$k" type veth peer name "vs$k" netns "$ns" || die "cannot build the lab: veth pair $k failed"
    ip -n "$host_ns" addr add "10.2$k.0.1/16" dev "vh$k"
    ip -n "$host_ns" link set "vh$k" up
  fi
  ip -n "$ns" addr add "$side/$prefix" dev "vs$k"
  ip -n "$ns" link set "vs$k" up
  [ -z "$gateway" ] || ip -n "$ns" route add default via "$gateway" dev "vs$k"
  # Only the device that holds an address answers ARP for it, and asks with
  # it: each macvlan server shows its own MAC, never the parent's.
  ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.arp_ignore=1 net.ipv4.conf.all.arp_announce=2

  batch="$lab_dir/batch-$k"; : > "$batch"
  for i in $(seq 0 $((servers - 1))); do
    ip_of "$k" "$i"
    if [ "$macvlan" = 1 ]; then
      printf 'link add mv%d link vs%d type macvlan mode bridge\naddr add %s/%d dev mv%d\nlink set mv%d up\n' \
        "$i" "$k" "$REPLY" "$prefix" "$i" "$i" >> "$batch"
      # A macvlan server's replies leave through its own device, so it
      # needs a way out of its own to the router.
      [ -z "$gateway" ] || printf 'route add default via %s dev mv%d metric %d\n' "$gateway" "$i" "$((i + 1))" >> "$batch"
    else
      printf 'addr add %s/%d dev vs%d\n' "$REPLY" "$prefix" "$k" >> "$batch"
    fi
  done
  [ "$servers" -eq 0 ] || ip -n "$ns" -batch "$batch" || die "cannot build the lab: server addresses on link $k failed"

  vs_mac=$(ip -n "$ns" -br link show dev "vs$k" | awk '{print $3}')
  declare -A macs=()
  if [ "$macvlan" = 1 ]; then
    while read -r name _ mac _; do macs[${name%@*}]=$mac; done < <(ip -n "$ns" -br link show type macvlan)
  fi
  # Static entries where the servers' neighbour lives: the host's link, or
  # the router's server-side link.
  nbatch="$lab_dir/neigh-$k"; : > "$nbatch"
  for i in $(seq 0 $((servers - 1))); do
    ip_of "$k" "$i"; addr=$REPLY
    mac=$vs_mac; [ "$macvlan" = 1 ] && mac=${macs[mv$i]}
    echo "$k $addr $mac" >> "$lab_dir/servers.txt"
    echo "neigh replace $addr lladdr $mac dev $([ "$routed" = 1 ] && echo "vq$k" || echo "vh$k") nud permanent" >> "$nbatch"
  done
  unset macs
  host_mac=$(ip -n "$host_ns" -br link show dev "vh$k" | awk '{print $3}')
  if [ "$routed" = 1 ]; then
    peer=$gateway peer_mac=$(ip -n "$rns" -br link show dev "vq$k" | awk '{print $3}')
  else
    peer="10.2$k.0.1" peer_mac=$host_mac
  fi
  if [ "$neigh" != learn ]; then
    # Servers know their neighbour already, so they never ARP and it learns nothing.
    devs="vs$k"; [ "$macvlan" = 1 ] && devs="vs$k $(seq -f 'mv%g' 0 $((servers - 1)) | tr '\n' ' ')"
    sbatch="$lab_dir/sneigh-$k"; : > "$sbatch"
    for d in $devs; do echo "neigh replace $peer lladdr $peer_mac dev $d nud permanent" >> "$sbatch"; done
    ip -n "$ns" -batch "$sbatch" || die "cannot build the lab: server-side neighbour entries failed"
  fi
  if [ "$neigh" = static ] && [ "$servers" -gt 0 ]; then
    if [ "$routed" = 1 ]; then
      ip -n "$rns" -batch "$nbatch" || die "cannot build the lab: router-side neighbour entries failed"
      router_mac=$(ip -n "$rns" -br link show dev "vr$k" | awk '{print $3}')
      ip -n "$host_ns" neigh replace "10.2$k.0.254" lladdr "$router_mac" dev "vh$k" nud permanent
      ip -n "$rns" neigh replace "10.2$k.0.1" lladdr "$host_mac" dev "vr$k" nud permanent
    else
      ip -n "$host_ns" -batch "$nbatch" || die "cannot build the lab: host-side neighbour entries failed"
    fi
  fi

  ip_of "$k" 0; first=$REPLY
  # shellcheck disable=SC2086
  ip netns exec "$ns" "$sim" --interface "vs$k" --first-address "$first" --count "$servers" \
    --probe-log "$lab_dir/probes-$k.log" --wol-log "$lab_dir/wol-$k.log" --ready-file "$lab_dir/ready-$k" $sim_args \
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
  VINDREL_LAB_SERVERS="$servers" VINDREL_LAB_SERVER_NS="${server_ns[*]}" VINDREL_LAB_ROUTED="$routed" \
  VINDREL_LAB_SERVER_SUBNETS="${subnets[*]}" VINDREL_LAB_ROUTERS="${routers[*]}" VINDREL_LAB_FIREWALL="$firewall" \
  "$@" <&0 &
wait $!
rc=$?
set -e
exit "$rc"
