#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build-fuzz/) and runs each for a set
# time, starting from its committed seed corpus under tests/fuzz/corpus/.
# The targets are those declared in tests/fuzz/CMakeLists.txt (one
# vindrel_fuzzer() line each).
# New inputs go to a scratch corpus in build-fuzz/, never into the repository;
# a crash leaves its input in build-fuzz/crashes/<target>/ and fails the run.
# Keep a crasher by copying it into the target's corpus folder (ctest -L fuzz
# in build-fuzz runs every seed again) and, where it shows the fault
# plainly, into a unit test.
# Usage: scripts/fuzz.sh [--seconds S] [--only TARGET] [--list] [--help]
#   --seconds S    run time of each target (default 60)
#   --only TARGET  one target (see --list)
#   --list         the targets, one a line
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
# The names, from the declarations themselves, so that --help needs no build.
declared() { sed -n 's/^ *vindrel_fuzzer(\([a-z0-9_]*\).*/\1/p' "$here/tests/fuzz/CMakeLists.txt"; }

seconds=60 only=""
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; echo; echo "Targets:"; declared | sed 's/^/  /'; exit 0 ;;
    --list) declared; exit 0 ;;
    --seconds) seconds=${2:?--seconds wants a number}; shift 2 ;;
    --only) only=${2:?--only wants a target}; shift 2 ;;
    *) echo "fuzz.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
[[ "$seconds" =~ ^[0-9]+$ ]] && [ "$seconds" -gt 0 ] || { echo "fuzz.sh: --seconds wants a positive number" >&2; exit 2; }
[ -z "$only" ] || declared | grep -qx "$only" || { echo "fuzz.sh: no target '$only' (try --list)" >&2; exit 2; }

build="$here/build-fuzz"
cd "$here"
cmake --preset fuzz >/dev/null
# Written by the configure step: "name corpus dict max_len" per target built
# here (the Qt ones only with the GUI).
list="$build/fuzz-targets.txt"
names=()
while read -r name _; do
  [ -z "$only" ] || [ "$only" = "$name" ] && names+=("fuzz_$name")
done <"$list"
[ ${#names[@]} -gt 0 ] || { echo "fuzz.sh: '$only' is not built in this configuration" >&2; exit 2; }
cmake --build "$build" --target "${names[@]}" -j2

# The GB18030 locale makes the reply target decode as that code page too.
locale -a 2>/dev/null | grep -qi '^zh_CN\.gb18030$' || echo "fuzz.sh: zh_CN.GB18030 missing, replies are decoded as UTF-8 only (scripts/setup.sh makes it)" >&2

# Leaks that system libraries keep on purpose (fontconfig's caches, which the
# attribute-list target fills) are listed with reasons there.
export LSAN_OPTIONS="suppressions=$here/scripts/lsan-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=0
while read -r name corpus dict maxlen; do
  [ -z "$only" ] || [ "$only" = "$name" ] || continue
  work="$build/corpus-work/$name" crashes="$build/crashes/$name"
  mkdir -p "$work" "$crashes"
  flags=(-max_len="$maxlen" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/")
  [ "$dict" = "-" ] || flags+=(-dict="$here/tests/fuzz/$dict")
  echo "fuzz.sh: $name for ${seconds} s"
  if ! QT_QPA_PLATFORM=offscreen "$build/tests/fuzz_$name" "${flags[@]}" \
        "$work" "$here/tests/fuzz/corpus/$corpus" >"$build/fuzz-$name.log" 2>&1 </dev/null; then
    echo "fuzz.sh: $name FAILED; input in $crashes/, log in $build/fuzz-$name.log" >&2
    grep -E 'ERROR|SUMMARY|runtime error|deadly signal|property broken' "$build/fuzz-$name.log" | head -5 >&2 || true
    failed=1
    continue
  fi
  grep -E '^stat::number_of_executed_units' "$build/fuzz-$name.log" | tail -1 | sed "s/^/fuzz.sh: $name: /"
done <"$list"
exit "$failed"
