# What both router end-to-end scripts start with (sourced, with VLAN and KV_PREFIX set): skip()
# for a run that cannot happen here, the checks that the virtual LAN can be built, and its lock
# taken on descriptor 9 (KV_LOCK_FD) for the rest of the run; stop_pidfile ends a process that
# wrote its id to a file (bounded wait).
skip() { echo "SKIP: $*"; exit 77; }
need_vlan() {
  [ "$(id -u)" = 0 ] || skip "needs root for the virtual LAN"
  command -v ip >/dev/null || skip "iproute2 missing"
  command -v flock >/dev/null || skip "flock missing"
  local probe=${KV_PREFIX}-probe-$$
  ip netns add "$probe" 2>/dev/null || skip "network namespaces are not available here"
  ip netns del "$probe" 2>/dev/null
}
take_vlan_lock() {
  exec 9>>"$(bash "$VLAN" lockfile)"
  flock -w 600 9 || skip "virtual LAN $KV_PREFIX busy"
  export KV_LOCK_FD=9
}
stop_pidfile() {
  local f=$1 pid
  [ -f "$f" ] || return 0
  pid=$(cat "$f")
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  rm -f "$f"
}
