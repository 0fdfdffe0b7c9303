# Sourced by the hardening scripts: a private X server with a tray (trayer),
# and helpers around the real vindrel. Only inside scripts/netlab.sh's lab.
[ "${VINDREL_LAB:-}" = 1 ] || { echo "$0: only inside scripts/netlab.sh" >&2; exit 2; }

x_session_name=hard
# shellcheck source=../../scripts/x-session.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/x-session.sh"

now_ms() { date +%s%3N; }

# vindrel processes in this network namespace (the lab's host).
vindrels() { pgrep --ns $$ --nslist net -x vindrel || true; }

# Waits up to $2 tenths of a second for process $1 to end; true when it did.
ended_within() {
  local i
  for ((i = 0; i < $2; i++)); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  ! kill -0 "$1" 2>/dev/null
}

