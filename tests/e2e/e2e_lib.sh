# The opening of every end-to-end script: sourced with SRC (the source folder) and KV_PREFIX
# (the virtual LAN of the script's own) set.
#   e2e_require EXE...   skip (exit 77) without root, iproute2, flock, network namespaces or
#                        one of the executables
#   e2e_lock [SECONDS]   hold the LAN of KV_PREFIX for the whole run (default wait 600 s); vlan.sh
#                        takes the same lock through KV_LOCK_FD
# shellcheck shell=bash
VLAN="$SRC/tools/vlan/vlan.sh"

skip() { echo "SKIP: $*"; exit 77; }

e2e_require() {
  [ "$(id -u)" = 0 ] || skip "needs root for the virtual LAN"
  command -v ip >/dev/null || skip "iproute2 missing"
  command -v flock >/dev/null || skip "flock missing"
  local exe
  for exe in "$@"; do [ -x "$exe" ] || skip "$exe not built"; done
  local probe=${KV_PREFIX:-kv}-probe-$$
  ip netns add "$probe" 2>/dev/null || skip "network namespaces are not available here"
  ip netns del "$probe" 2>/dev/null
  return 0
}

e2e_lock() {
  exec 9>>"$(bash "$VLAN" lockfile)"
  flock -w "${1:-600}" 9 || skip "virtual LAN ${KV_PREFIX:-kv} busy"
  export KV_LOCK_FD=9
}

# stop_pidfile FILE: ends the process whose id FILE holds (waits at most 5 s) and removes FILE.
stop_pidfile() {
  local f=$1 pid
  [ -f "$f" ] || return 0
  pid=$(cat "$f")
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  rm -f "$f"
}
