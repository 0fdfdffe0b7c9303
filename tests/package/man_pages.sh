#!/bin/sh
# Renders each manual page given; man's --warnings prints nothing on standard
# error for a page without roff mistakes.
# Usage: man_pages.sh PAGE...
status=0
for page in "$@"; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: $warnings"
    status=1
  fi
  [ -s "$page" ] || { echo "$page: missing or empty"; status=1; }
done
exit $status
