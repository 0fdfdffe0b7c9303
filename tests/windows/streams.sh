#!/usr/bin/env bash
# The programs' standard streams under Wine, with the answers that come
# before any socket is opened (so this runs outside the lab). vindrel-scan:
# --help and --version on standard output in binary (LF stays LF, never
# CR LF), a bad option on standard error with exit code 2, and output that
# nobody can read (standard output closed) is a failure, exit code 1. The
# window program (no console of its own) still answers --version and --help
# where its output is redirected, and names its settings folder.
# Usage (from ctest): streams.sh VINDREL-SCAN.EXE VINDREL.EXE EMULATOR...
set -uo pipefail
exe=${1:?vindrel-scan.exe}
gui=${2:?vindrel.exe}
shift 2
[ $# -gt 0 ] || { echo "streams: no emulator given" >&2; exit 2; }
# The emulator line names the prefix (cmake/Windows.cmake).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$@" "$exe" --help >"$work/help" 2>"$work/help.err"; rc=$?
[ "$rc" = 0 ] || fail "--help ended with $rc: $(cat "$work/help.err")"
grep -q '^Usage: vindrel-scan' "$work/help" || fail "--help printed no usage"
if grep -q $'\r' "$work/help"; then fail "standard output is in text mode (CR before LF)"; fi
echo "ok: --help on standard output, binary"

"$@" "$exe" --version >"$work/version"; rc=$?
[ "$rc" = 0 ] || fail "--version ended with $rc"
grep -qx 'vindrel-scan [0-9][0-9.]*' "$work/version" && [ "$(wc -l <"$work/version")" = 1 ] &&
  ! grep -q $'\r' "$work/version" || fail "--version is not one LF-ended line: $(od -c "$work/version" | head -2)"
echo "ok: --version is one line"

"$@" "$exe" --bogus >"$work/bad" 2>"$work/bad.err"; rc=$?
[ "$rc" = 2 ] || fail "a bad option ended with $rc, not 2"
grep -q "vindrel-scan: unknown option '--bogus' (try --help)" "$work/bad.err" || fail "no one-line error: $(cat "$work/bad.err")"
[ -s "$work/bad" ] && fail "a bad option wrote to standard output"
if grep -q $'\r' "$work/bad.err"; then fail "standard error is in text mode"; fi
echo "ok: a bad option is one line on standard error, exit 2"

"$@" "$exe" --version >&- 2>"$work/closed.err"; rc=$?
[ "$rc" = 1 ] || fail "--version with standard output closed ended with $rc, not 1"
grep -q "cannot write to standard output" "$work/closed.err" || fail "no error for closed output: $(cat "$work/closed.err")"
echo "ok: closed standard output is an error, exit 1"

"$@" "$gui" --version >"$work/gui.version" 2>&1; rc=$?
[ "$rc" = 0 ] || fail "vindrel.exe --version ended with $rc"
grep -q '^vindrel [0-9][0-9.]*' "$work/gui.version" || fail "vindrel.exe --version printed: $(head -2 "$work/gui.version")"
# Its output is text, CR LF as a Windows program's is.
"$@" "$gui" --help 2>&1 | tr -d '\r' >"$work/gui.help"; rc=${PIPESTATUS[0]}
[ "$rc" = 0 ] || fail "vindrel.exe --help ended with $rc"
grep -q '^Settings:  .*/lang.xml (portable folder)$' "$work/gui.help" ||
  fail "beside its lang.xml vindrel.exe is not portable: $(grep Settings "$work/gui.help")"
echo "ok: vindrel.exe answers --version and --help into a redirected output; beside lang.xml it is portable"

# Elsewhere (no lang.xml) the settings go to %APPDATA%, the log to %LOCALAPPDATA%.
mkdir "$work/installed"
cp "$gui" "$work/installed/"
"$@" "$work/installed/$(basename "$gui")" --help 2>&1 | tr -d '\r' >"$work/installed.help"
grep -q '^Settings:  [A-Z]:/.*/AppData/Roaming/Vindrel/lang.xml$' "$work/installed.help" ||
  fail "without lang.xml the settings are not in %APPDATA%: $(grep Settings "$work/installed.help")"
grep -q '^Log:       [A-Z]:/.*/AppData/Local/Vindrel/log/$' "$work/installed.help" ||
  fail "without lang.xml the log is not in %LOCALAPPDATA%: $(grep Log "$work/installed.help")"
echo "ok: without lang.xml beside it, settings go to %APPDATA%\\Vindrel and the log to %LOCALAPPDATA%\\Vindrel\\log"

