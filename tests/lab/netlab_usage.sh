#!/usr/bin/env bash
# netlab.sh's answers to bad usage: the usage line and exit 2, before it
# needs root or builds anything.
set -u
netlab=$(dirname "$0")/../../scripts/netlab.sh
fail=0
expect() {  # expect WHY ARGS...: exit 2 and a usage line on stderr
  local why=$1; shift
  local err rc
  err=$("$netlab" "$@" 2>&1 >/dev/null); rc=$?
  if [ "$rc" -ne 2 ] || ! grep -q 'usage: netlab.sh run' <<<"$err" || [ "$(wc -l <<<"$err")" -ne 1 ]; then
    echo "FAIL: $why: exit $rc, stderr: $err"; fail=1
  else
    echo "ok: $why"
  fi
}
expect "--servers as the last word" run --servers
expect "--firewall as the last word" run --firewall
expect "--sim-args as the last word" run --sim-args
expect "an unknown option" run --frobnicate -- true
expect "no command" run --servers 2
expect "a bad --firewall value" run --firewall allow -- true
expect "an unknown subcommand" walk
exit "$fail"
