#!/usr/bin/env bash
# Starts PROGRAM REPEATS times, inside the lab and under an X server
# (scripts/bench.sh runs it through scripts/in-x-session.sh), and prints per start
# "result KEY VALUE" lines: seconds from exec to its main window mapped
# (the first top-level window of 200 px or wider, seen by xev on the root),
# from exec to its first probe on the wire (korvan-sim's probe log; -1 when
# it sends none) and its resident memory (KiB) two seconds after the map.
# Usage: bench/start-time.sh NAME REPEATS PROGRAM [ARGS...]
set -uo pipefail
[ "${VINDREL_LAB:-}" = 1 ] && [ -n "${DISPLAY:-}" ] || { echo "start-time: only inside the lab, under X" >&2; exit 2; }
name=$1 repeats=$2
shift 2

for _ in $(seq "$repeats"); do
  coproc XEV { exec stdbuf -oL xev -root -event substructure; }
  sleep 0.3   # xev has selected its events
  began=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 &
  pid=$!
  declare -A wide=()
  mapped=-1 next=""
  while IFS= read -r -t 10 line <&"${XEV[0]}"; do
    case "$line" in
      CreateNotify*) next=create ;;
      MapNotify*) next=map; at=$EPOCHREALTIME ;;
      *window\ 0x*)
        id=${line#*window }; id=${id%%,*}
        if [ "$next" = create ] && [[ "$line" =~ width\ ([0-9]+) ]] && [ "${BASH_REMATCH[1]}" -ge 200 ]; then
          wide[$id]=1
        elif [ "$next" = map ] && [ -n "${wide[$id]:-}" ]; then
          mapped=$at; break
        fi
        next="" ;;
    esac
  done
  kill "$XEV_PID" 2>/dev/null; wait "$XEV_PID" 2>/dev/null
  unset wide
  sleep 2
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo -1)
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  probe=$(awk -v t="$began" '$1 >= t {print $1; exit}' "$VINDREL_LAB_DIR/probes-1.log" 2>/dev/null)
  awk -v n="$name" -v b="$began" -v m="$mapped" -v p="${probe:-}" -v r="${rss:--1}" 'BEGIN {
    printf "result %s_map_s %.4f\n", n, (m < 0 ? -1 : m - b)
    printf "result %s_probe_s %.4f\n", n, (p == "" ? -1 : p - b)
    printf "result %s_rss_kib %d\n", n, r }' >&2
done
