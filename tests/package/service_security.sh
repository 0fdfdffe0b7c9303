#!/bin/sh
# The watch service's sandbox as systemd scores it, without a running systemd:
# prints the overall exposure and fails above 2.0 (0 is the best, 10 none).
# Usage: service_security.sh UNIT.service
unit=$1
out=$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1) || { echo "$out"; exit 1; }
line=$(printf '%s\n' "$out" | grep 'Overall exposure level')
echo "$line"
score=$(printf '%s\n' "$line" | sed -n 's/.*: \([0-9.]*\) .*/\1/p')
[ -n "$score" ] || { echo "no score in: $out"; exit 1; }
awk -v s="$score" 'BEGIN { exit !(s <= 2.0) }' || { printf '%s\n' "$out" | grep '✗'; exit 1; }
exit 0
