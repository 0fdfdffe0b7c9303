# Sourced by x-session.sh and wayland-session.sh: the private folder a
# session lives in and its end. Set session_folder_name before sourcing.
# Gives: $work (a private folder), session_pids (killed at exit; add your own
# background processes), fail MESSAGE (prints the tails of $work/*.out, exits 1).

work=$(mktemp -d "/tmp/vindrel-${session_folder_name:-session}-XXXXXX")
chmod 700 "$work"
session_pids=()
end_session() {
  # Only the shell that made the session ends it, never a subshell of it.
  [ "$BASHPID" = "$$" ] || return 0
  for p in "${session_pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap end_session EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.out; do [ -s "$f" ] || continue; echo "--- $f" >&2; tail -5 "$f" >&2; done
  exit 1
}
