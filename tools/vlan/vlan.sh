#!/usr/bin/env bash
# Virtual LAN of network namespaces for the camera assistant's tests and demo.
#
#   kv-pc  (eth0 192.168.0.10/24) ---+
#   kv-cam (eth0 camera addresses) --+-- br0 in kv-lan (a plain layer-2 bridge)
#   kv-router, kv-vendor (later)  ---+
#
# No namespace has a link to the host network, nothing is forwarded or translated, so every
# datagram (the limited broadcast to 255.255.255.255 included) stays on the bridge.
#
# Usage (as root):
#   vlan.sh up                  build the LAN (idempotent)
#   vlan.sh down                remove everything it built (idempotent)
#   vlan.sh status              show namespaces, links, addresses and routes
#   vlan.sh pc  CMD [ARGS...]   run a command inside the PC namespace
#   vlan.sh cam CMD [ARGS...]   run a command inside the camera namespace
#   vlan.sh exec NS CMD [...]   run a command inside any namespace of the LAN (pc, cam, lan, ...)
#   vlan.sh join NAME ADDR/LEN  add one more host namespace kv-NAME (e.g. router, vendor)
#   vlan.sh addr NS add|del ADDR/LEN   add or remove an address on NS's eth0
#
# Environment:
#   KV_PC_ADDR    PC address (default 192.168.0.10/24)
#   KV_CAM_ADDRS  camera addresses, blank-separated (default: those of sim/camsim/examples/lan.conf)
#   KV_PREFIX     namespace name prefix (default kv): a test can build a LAN of its own, e.g.
#                 KV_PREFIX=kvt1 gives kvt1-lan, kvt1-pc, kvt1-cam, next to a running kv-* LAN
set -euo pipefail

PREFIX=${KV_PREFIX:-kv}
LAN_NS=${PREFIX}-lan
BRIDGE=br0
KV_PC_ADDR=${KV_PC_ADDR:-192.168.0.10/24}
KV_CAM_ADDRS=${KV_CAM_ADDRS:-192.168.0.102/24 192.168.0.103/24 192.168.0.104/24 192.168.1.88/24}

die() { echo "vlan.sh: $*" >&2; exit 1; }

need_root() {
  [ "$(id -u)" = 0 ] || die "must run as root"
  command -v ip >/dev/null || die "iproute2 (ip) is missing"
}

ns_exists() { ip netns list 2>/dev/null | awk '{print $1}' | grep -qx "$1"; }

# Settings that every namespace of the LAN gets: no forwarding, no reverse-path filter (cameras in
# another subnet must still be heard), no IPv6 chatter, loopback up.
ns_sysctls() {
  local ns=$1
  ip netns exec "$ns" sh -c '
    for f in /proc/sys/net/ipv4/conf/*/rp_filter; do echo 0 > "$f"; done
    # Removing one address must not take the other addresses of its subnet with it.
    for f in /proc/sys/net/ipv4/conf/*/promote_secondaries; do echo 1 > "$f"; done
    echo 0 > /proc/sys/net/ipv4/ip_forward
    [ -w /proc/sys/net/ipv6/conf/all/disable_ipv6 ] && echo 1 > /proc/sys/net/ipv6/conf/all/disable_ipv6
    [ -w /proc/sys/net/ipv6/conf/default/disable_ipv6 ] && echo 1 > /proc/sys/net/ipv6/conf/default/disable_ipv6
    true'
  ip -n "$ns" link set lo up
}

make_ns() {
  local ns=$1
  ns_exists "$ns" || ip netns add "$ns"
  ns_sysctls "$ns"
}

# Host namespace kv-NAME with eth0 plugged into the bridge through port p-NAME.
attach_host() {
  local name=$1; shift
  local ns=${PREFIX}-${name} port=p-${name}
  make_ns "$ns"
  if ! ip -n "$ns" link show eth0 >/dev/null 2>&1; then
    # Created directly between the two namespaces: the pair never appears in the host namespace.
    ip -n "$LAN_NS" link add "$port" type veth peer name eth0 netns "$ns"
  fi
  ip -n "$LAN_NS" link set "$port" master "$BRIDGE"
  ip -n "$LAN_NS" link set "$port" up
  ns_sysctls "$ns"
  ip -n "$ns" link set eth0 up
  local a
  for a in "$@"; do
    ip -n "$ns" addr replace "$a" dev eth0
  done
  # Limited broadcast and everything else leave by eth0, i.e. onto the bridge and nowhere else.
  ip -n "$ns" route replace 255.255.255.255/32 dev eth0
  ip -n "$ns" route replace default dev eth0
}

cmd_up() {
  need_root
  make_ns "$LAN_NS"
  if ! ip -n "$LAN_NS" link show "$BRIDGE" >/dev/null 2>&1; then
    ip -n "$LAN_NS" link add "$BRIDGE" type bridge
  fi
  # Forward at once (no STP listening delay), flood broadcasts, no IGMP snooping surprises.
  ip -n "$LAN_NS" link set "$BRIDGE" type bridge stp_state 0 forward_delay 0 mcast_snooping 0 2>/dev/null || \
    ip -n "$LAN_NS" link set "$BRIDGE" type bridge stp_state 0 forward_delay 0
  ip -n "$LAN_NS" link set "$BRIDGE" up
  # shellcheck disable=SC2086
  attach_host pc "$KV_PC_ADDR"
  # shellcheck disable=SC2086
  attach_host cam $KV_CAM_ADDRS
  # Let the camera side send from any of its addresses at once after they are added.
  ip netns exec ${PREFIX}-cam sh -c 'echo 1 > /proc/sys/net/ipv4/ip_nonlocal_bind' 2>/dev/null || true
}

cmd_down() {
  need_root
  local ns
  for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^${PREFIX}-" || true); do
    # End whatever still runs inside (only processes of this namespace).
    local pids
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    if [ -n "$pids" ]; then
      kill $pids 2>/dev/null || true
      sleep 0.2
      pids=$(ip netns pids "$ns" 2>/dev/null || true)
      [ -n "$pids" ] && kill -9 $pids 2>/dev/null || true
    fi
    ip netns del "$ns" 2>/dev/null || true
  done
}

cmd_status() {
  local ns found=0
  for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^${PREFIX}-" | sort || true); do
    found=1
    echo "== $ns"
    ip -n "$ns" -br link 2>/dev/null | sed 's/^/  link  /'
    ip -n "$ns" -br -4 addr 2>/dev/null | sed 's/^/  addr  /'
    ip -n "$ns" -4 route 2>/dev/null | sed 's/^/  route /'
  done
  [ $found = 1 ] || { echo "virtual LAN is down"; return 1; }
}

ns_name() {
  case $1 in
    ${PREFIX}-*) echo "$1" ;;
    *) echo "${PREFIX}-$1" ;;
  esac
}

cmd_exec() {
  need_root
  [ $# -ge 2 ] || die "usage: vlan.sh exec NS CMD [ARGS...]"
  local ns
  ns=$(ns_name "$1"); shift
  ns_exists "$ns" || die "namespace $ns does not exist (run vlan.sh up)"
  exec ip netns exec "$ns" "$@"
}

cmd_addr() {
  need_root
  [ $# = 3 ] || die "usage: vlan.sh addr NS add|del ADDR/LEN"
  local ns
  ns=$(ns_name "$1")
  ns_exists "$ns" || die "namespace $ns does not exist (run vlan.sh up)"
  case $2 in
    add) ip -n "$ns" addr replace "$3" dev eth0 ;;
    del) ip -n "$ns" addr del "$3" dev eth0 2>/dev/null || true ;;
    *) die "usage: vlan.sh addr NS add|del ADDR/LEN" ;;
  esac
}

cmd_join() {
  need_root
  [ $# -ge 1 ] || die "usage: vlan.sh join NAME [ADDR/LEN...]"
  ns_exists "$LAN_NS" || die "virtual LAN is down (run vlan.sh up)"
  attach_host "$@"
}

main() {
  [ $# -ge 1 ] || { sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
  local cmd=$1; shift
  case $cmd in
    up) cmd_up ;;
    down) cmd_down ;;
    status) cmd_status ;;
    pc) cmd_exec pc "$@" ;;
    cam) cmd_exec cam "$@" ;;
    exec) cmd_exec "$@" ;;
    addr) cmd_addr "$@" ;;
    join) cmd_join "$@" ;;
    -h|--help|help) sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//' ;;
    *) die "unknown command: $cmd" ;;
  esac
}

main "$@"
