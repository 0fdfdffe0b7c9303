#!/bin/bash
# Every long option a program's --help names is in its manual page and the
# other way round, so that neither falls behind the other.
# Usage: options_documented.sh PROGRAM PAGE.1.in
# --help runs in an empty network namespace: it exits before any socket is
# opened, and there it could reach nothing anyway.
program=$1
page=$2
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
help=$(unshare -n "$program" --help) || { echo "$program --help failed"; exit 1; }
listed=$(options <<<"$help")
# roff writes a minus as \-.
documented=$(sed 's/\\-/-/g' "$page" | options)
if [ "$listed" != "$documented" ]; then
  echo "$program --help and $page name different options (< --help only, > the page only):"
  diff <(echo "$listed") <(echo "$documented")
  exit 1
fi
