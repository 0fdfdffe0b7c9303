#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build-fuzz/) and runs each for a set
# time, starting from its committed seed corpus under tests/fuzz/corpus/.
# New inputs go to a scratch corpus in build-fuzz/, never into the repository;
# a crash leaves its input in build-fuzz/crashes/<target>/ and fails the run.
# Keep a crasher by copying it into the target's corpus folder (and, where it
# shows the fault plainly, into a unit test).
# Usage: scripts/fuzz.sh [--seconds S] [--only TARGET] [--help]
#   --seconds S    run time of each target (default 60)
#   --only TARGET  one of: lang_file parse_reply attribute_list
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

seconds=60 only=""
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --seconds) seconds=${2:?--seconds wants a number}; shift 2 ;;
    --only) only=${2:?--only wants a target}; shift 2 ;;
    *) echo "fuzz.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
[[ "$seconds" =~ ^[0-9]+$ ]] && [ "$seconds" -gt 0 ] || { echo "fuzz.sh: --seconds wants a positive number" >&2; exit 2; }

# target name, corpus folder, dictionary, extra libFuzzer flags
targets=(
  "lang_file lang lang.dict -max_len=4096"
  "parse_reply reply reply.dict -max_len=2048"
  "attribute_list attributes attributes.dict -max_len=1024"
)

build="$here/build-fuzz"
cd "$here"
cmake --preset fuzz >/dev/null
names=()
for t in "${targets[@]}"; do
  read -r name _ <<<"$t"
  [ -z "$only" ] || [ "$only" = "$name" ] && names+=("fuzz_$name")
done
[ ${#names[@]} -gt 0 ] || { echo "fuzz.sh: no target '$only' (try --help)" >&2; exit 2; }
cmake --build "$build" --target "${names[@]}" -j2

# The GB18030 locale makes the reply target decode as that code page too.
locale -a 2>/dev/null | grep -qi '^zh_CN\.gb18030$' || echo "fuzz.sh: zh_CN.GB18030 missing, replies are decoded as UTF-8 only (scripts/setup.sh makes it)" >&2

# Leaks that system libraries keep on purpose (fontconfig's caches, which the
# attribute-list target fills) are listed with reasons there.
export LSAN_OPTIONS="suppressions=$here/scripts/lsan-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=0
for t in "${targets[@]}"; do
  read -r name corpus dict flags <<<"$t"
  [ -z "$only" ] || [ "$only" = "$name" ] || continue
  work="$build/corpus-work/$name" crashes="$build/crashes/$name"
  mkdir -p "$work" "$crashes"
  echo "fuzz.sh: $name for ${seconds} s"
  # shellcheck disable=SC2086
  if ! QT_QPA_PLATFORM=offscreen "$build/tests/fuzz_$name" -dict="$here/tests/fuzz/$dict" $flags \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "$here/tests/fuzz/corpus/$corpus" >"$build/fuzz-$name.log" 2>&1; then
    echo "fuzz.sh: $name FAILED; input in $crashes/, log in $build/fuzz-$name.log" >&2
    grep -E 'ERROR|SUMMARY|runtime error|deadly signal' "$build/fuzz-$name.log" | head -5 >&2 || true
    failed=1
    continue
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz-$name.log" | tail -1 | sed "s/^/fuzz.sh: $name: /"
done
exit "$failed"
