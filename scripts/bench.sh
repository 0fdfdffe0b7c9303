#!/usr/bin/env bash
# Measures Vindrel side by side with references run on the same machine in
# the same run, inside the network lab (scripts/netlab.sh; needs root), and
# prints one table: time to list N servers, steady state under load, idle
# cost and start. Installs packages (scripts/setup.sh --no-build) and builds
# only what it runs, in build/ (or --build DIR).
# Usage: scripts/bench.sh [--no-setup] [--build DIR] [--load-seconds S]
#                         [--idle-seconds S] [--repeats R]
#   --load-seconds  steady state under load (default 120)
#   --idle-seconds  idle in the tray (default 60)
#   --repeats       runs of each time-to-list and start figure (default 3)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
usage() { sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; }

setup=1 build="$here/build" load_seconds=120 idle_seconds=60 repeats=3
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --no-setup) setup=0; shift ;;
    --build) build=${2:?}; shift 2 ;;
    --load-seconds) load_seconds=${2:?}; shift 2 ;;
    --idle-seconds) idle_seconds=${2:?}; shift 2 ;;
    --repeats) repeats=${2:?}; shift 2 ;;
    *) echo "bench.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
for v in "$load_seconds" "$idle_seconds" "$repeats"; do
  [[ "$v" =~ ^[1-9][0-9]*$ ]] || { echo "bench.sh: durations and repeats are whole numbers from 1" >&2; exit 2; }
done
if [ "$(id -u)" -ne 0 ]; then
  echo "bench.sh: the lab's network namespaces need root: sudo $0 $*" >&2
  exit 1
fi

[ "$setup" = 0 ] || "$here/scripts/setup.sh" --no-build
begun=$SECONDS
[ -f "$build/CMakeCache.txt" ] || (cd "$here" && cmake --preset default -B "$build" >/dev/null)
echo "bench: building in $build"
cmake --build "$build" --target vindrel vindrel-scan korvan-sim vindrel_res bench_discovery bench_window empty-qt-window >/dev/null
bin="$build/bin"
results=$(mktemp /tmp/vindrel-bench-XXXXXX)
trap 'rm -f "$results"' EXIT

# lab TAG NETLAB-OPTIONS... -- COMMAND...: runs COMMAND in a fresh lab and
# keeps its "result KEY VALUE" lines (standard error) as "TAG KEY VALUE".
lab() {
  local tag=$1; shift
  local opts=()
  while [ "$1" != -- ]; do opts+=("$1"); shift; done
  shift
  "$here/scripts/netlab.sh" run --bin "$bin" "${opts[@]}" -- "$@" 2>&1 >/dev/null \
    | awk -v t="$tag" '$1 == "result" { print t, $2, $3; fflush() }' >> "$results" \
    || echo "bench: a $tag run failed; its figures show as failed" >&2
}

for n in 10 100 1000 5000; do
  echo "bench: time to list $n servers (receive loop, vindrel-scan, window x$repeats)"
  lab "n$n" --servers "$n" --neigh static -- "$build/bench/bench_discovery" "$n"
  for _ in $(seq "$repeats"); do
    lab "n$n" --servers "$n" --neigh static -- "$here/scripts/in-x-session.sh" "$build/bench/bench_window" --list "$n"
  done
done
echo "bench: steady state, 1000 servers answering every probe, $load_seconds s"
lab load --servers 1000 --neigh static -- "$here/scripts/in-x-session.sh" "$build/bench/bench_window" --load 1000 "$load_seconds"
echo "bench: idle in the tray, no servers, $idle_seconds s"
lab idle --servers 0 -- "$here/scripts/in-x-session.sh" "$build/bench/bench_window" --idle "$idle_seconds"
echo "bench: start, empty Qt window and vindrel, x$repeats"
lab start --servers 0 -- "$here/scripts/in-x-session.sh" bash -c \
  '"$1/start-time.sh" empty "$3" "$2/bench/empty-qt-window" && "$1/start-time.sh" vindrel "$3" "$2/bin/vindrel"' \
  start "$here/bench" "$build" "$repeats"

echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
echo "Command: scripts/bench.sh --load-seconds $load_seconds --idle-seconds $idle_seconds --repeats $repeats   ($(( SECONDS - begun )) s after setup)"
echo
# The table: every figure next to its reference from this run (a ratio) or
# a count; the median where a figure was measured more than once.
awk -v load="$load_seconds" -v idle="$idle_seconds" '
  { key = $1 " " $2; v[key, ++c[key]] = $3 }
  function median(k,   n, i, j, a, t) {
    n = c[k]; if (n == 0) return -1
    for (i = 1; i <= n; i++) a[i] = v[k, i]
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return a[int((n + 1) / 2)]
  }
  function ms(s) { return s < 0 ? "failed" : sprintf("%.0f ms", s * 1000) }
  function ok(b) { return b ? "met" : "MISSED" }
  function row(a, b, c, d, e) { printf "| %-44s | %-12s | %-22s | %-8s | %-30s |\n", a, b, c, d, e }
  END {
    row("Figure", "Vindrel", "Reference", "Ratio", "Target")
    row("---", "---", "---", "---", "---")
    for (i = 1; i <= 4; i++) {
      n = (i == 1 ? 10 : i == 2 ? 100 : i == 3 ? 1000 : 5000); t = "n" n
      loop = median(t " loop_from_probe_s"); scan = median(t " scan_from_probe_s"); win = median(t " listed_s"); vis = median(t " visible_s")
      row("Time to list " n ": vindrel-scan --wait-for " n, ms(scan), "receive loop " ms(loop), sprintf("%.1fx", scan / (loop > 0 ? loop : 1e-4)),
          sprintf("<= 1.2x loop + 500 ms: %s", ok(scan >= 0 && scan <= 1.2 * loop + 0.5)))
      row("Time to list " n ": main window counter", ms(win), "vindrel-scan " ms(scan), sprintf("%.1fx", win / (scan > 0 ? scan : 1e-4)),
          n == 1000 ? sprintf("<= 2x vindrel-scan: %s", ok(win >= 0 && win <= 2 * scan)) : "")
      row("Time to list " n ": rows shown in the view", ms(vis), "receive loop " ms(loop), sprintf("%.1fx", vis / (loop > 0 ? loop : 1e-4)),
          n == 1000 ? sprintf("<= 1500 ms: %s", ok(vis >= 0 && vis <= 1.5)) : "")
    }
    sn = median("n5000 sort_name_ms"); si = median("n5000 sort_ip_ms"); sr = median("n5000 sort_reverse_ms")
    fl = median("n5000 filter_ms"); uf = median("n5000 unfilter_ms"); l5 = median("n5000 listed_s") * 1000
    row("5000 rows: sort by name (reverse)", sprintf("%.0f ms (%.0f)", sn, sr), "listing them " sprintf("%.0f ms", l5), sprintf("%.3f", sn / (l5 > 0 ? l5 : 1)), "reported")
    row("5000 rows: sort by IP, as numbers", sprintf("%.0f ms", si), "listing them " sprintf("%.0f ms", l5), sprintf("%.3f", si / (l5 > 0 ? l5 : 1)), "reported")
    row("5000 rows: filter (rows kept), clear", sprintf("%.0f ms (%d), %.0f ms", fl, median("n5000 filter_rows"), uf), "listing them " sprintf("%.0f ms", l5), sprintf("%.3f", fl / (l5 > 0 ? l5 : 1)), "reported")
    p99 = median("load timer_p99_ms"); cpu = median("load cpu_percent")
    wakes = median("load gui_wakes_per_s"); qcpu = median("load quiet_cpu_percent")
    row("Load (" load " s): replies sent", sprintf("%.0f /s", median("load replies_sent_per_s")), "1000 servers, 2 probes/s", "", "about 2000 replies/s")
    row("Load: GUI thread wakes (drains)", sprintf("%.0f /s (%.0f)", wakes, median("load drains_per_s")), sprintf("%.0f replies/s", median("load replies_sent_per_s")),
        sprintf("%.3f", wakes / (median("load replies_sent_per_s") > 0 ? median("load replies_sent_per_s") : 1)), sprintf("<= ~35 /s: %s", ok(wakes >= 0 && wakes <= 40)))
    row("Load: CPU without the 10 ms probe timer", sprintf("%.1f %%", qcpu), "one core 100 %", sprintf("%.3f", qcpu / 100), sprintf("< 5 %%: %s", ok(qcpu >= 0 && qcpu < 5)))
    row("Load: 10 ms timer delay p99 (p50, max)", sprintf("%.1f ms", p99), sprintf("period 10; p50 %.1f, max %.0f", median("load timer_p50_ms"), median("load timer_max_ms")),
        sprintf("%.2fx", p99 / 10), sprintf("p99 < 50 ms: %s", ok(p99 >= 0 && p99 < 50)))
    row("Load: CPU, share of one core", sprintf("%.1f %%", cpu), "one core 100 %", sprintf("%.3f", cpu / 100), sprintf("< 30 %%: %s", ok(cpu >= 0 && cpu < 30)))
    rs = median("load rss_settled_mib"); re = median("load rss_end_mib")
    row("Load: resident memory, end vs settled", sprintf("%.1f MiB", re), sprintf("%.1f MiB settled", rs), sprintf("%.3f", re / rs),
        sprintf("flat (< +2 %%): %s", ok(re <= rs * 1.02)))
    icpu = median("idle cpu_percent"); is = median("idle rss_settled_mib"); ie = median("idle rss_end_mib")
    row("Idle (" idle " s, in the tray): CPU", sprintf("%.2f %%", icpu), "one core 100 %", sprintf("%.4f", icpu / 100),
        sprintf("< 0.5 %%: %s%s", ok(icpu >= 0 && icpu < 0.5), median("idle tray_shown") == 1 ? "" : " (no tray!)"))
    row("Idle: resident memory, end vs settled", sprintf("%.1f MiB", ie), sprintf("%.1f MiB settled", is), sprintf("%.4f", ie / is),
        sprintf("no growth (< +1 %%): %s", ok(ie <= is * 1.01)))
    vr = median("start vindrel_rss_kib"); er = median("start empty_rss_kib")
    row("Resident memory 2 s after start", sprintf("%.1f MiB", vr / 1024), sprintf("empty Qt window %.1f MiB", er / 1024), sprintf("%.2fx", vr / er),
        sprintf("<= 1.3x: %s", ok(vr > 0 && er > 0 && vr <= 1.3 * er)))
    vm = median("start vindrel_map_s"); em = median("start empty_map_s"); vp = median("start vindrel_probe_s")
    row("Start: exec to window shown", ms(vm), "empty Qt window " ms(em), sprintf("%.2fx", vm / em),
        sprintf("<= 1.5x: %s", ok(vm >= 0 && em > 0 && vm <= 1.5 * em)))
    row("Start: exec to first probe on the wire", ms(vp), "empty Qt window " ms(em), sprintf("%.2fx", vp / em), "reported")
  }' "$results"
