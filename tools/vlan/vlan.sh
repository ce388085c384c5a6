#!/usr/bin/env bash
# Virtual LAN of network namespaces for the camera assistant's tests and demo.
#
#   kv-pc  (eth0 192.168.0.10/24) ---+
#   kv-cam (eth0 camera addresses) --+-- br0 in kv-lan (a plain layer-2 bridge)
#   kv-vendor (203.0.113.10/24) -----+   (vlan.sh vendor)
#   kv-router, ... (vlan.sh join) ---+
#
#   with --routed, a subnet behind a router that no broadcast crosses:
#   kv-rtr (eth0 192.168.0.1/24 on br0, eth1 172.16.9.1/24 on br2, forwarding)
#   kv-far (eth0 camera addresses, via kv-rtr) -- br2 in kv-lan
#
#   with --two-lans, a second LAN on its own bridge:
#   kv-pc  (eth1 10.20.0.10/24) -----+
#   kv-cam2 (eth0 camera addresses) -+-- br1 in kv-lan
#
# No namespace has a link to the host network, nothing is translated, and nothing is forwarded
# except by the --routed router between two bridges of the LAN itself, so every datagram (the
# limited broadcast to 255.255.255.255 included) stays inside the LAN's namespaces.
#
# Usage (as root):
#   vlan.sh up [--vendor] [--no-routes] [--two-lans] [--routed]
#                               build the LAN (idempotent); --vendor: also what "vendor" adds;
#                               --no-routes: the PC namespace gets neither the route for
#                               255.255.255.255 nor a default route (only its own subnets);
#                               --two-lans: the PC gets a second adapter eth1 on a second
#                               bridge with a second camera namespace kv-cam2;
#                               --routed: a router namespace kv-rtr between the LAN and a
#                               camera subnet 172.16.9.0/24 (namespace kv-far)
#   vlan.sh vendor [ADDR/LEN]   add the vendor-service namespace kv-vendor (default
#                               203.0.113.10/24) and name the service hosts on the PC side
#   vlan.sh down                remove everything it built (idempotent)
#   vlan.sh status              show namespaces, links, addresses and routes
#   vlan.sh pc  CMD [ARGS...]   run a command inside the PC namespace
#   vlan.sh cam CMD [ARGS...]   run a command inside the camera namespace
#   vlan.sh exec NS CMD [...]   run a command inside any namespace of the LAN (pc, cam, lan, ...)
#   vlan.sh join NAME ADDR/LEN  add one more host namespace kv-NAME (e.g. router, vendor)
#   vlan.sh addr NS add|del ADDR/LEN   add or remove an address on NS's eth0
#   vlan.sh lockfile            print the path of this LAN's lock
#
# Environment:
#   KV_PC_ADDR    PC address (default 192.168.0.10/24)
#   KV_CAM_ADDRS  camera addresses, blank-separated (default: those of sim/camsim/examples/lan.conf)
#   KV_PC_ADDR2   the PC's address on the second LAN (--two-lans; default 10.20.0.10/24)
#   KV_CAM2_ADDRS camera addresses of the second LAN (default 10.20.0.102/24 10.20.0.103/24
#                 10.20.0.104/24 10.20.1.88/24)
#   KV_FAR_ADDRS  camera addresses behind the router (--routed; default 172.16.9.102/24
#                 172.16.9.103/24 172.16.9.104/24 172.16.9.105/24)
#   KV_VENDOR_ADDR  vendor-service address (default 203.0.113.10/24)
#   KV_VENDOR_EXTRA_NAMES  more host names for the vendor's address, blank-separated
#   KV_PREFIX     namespace name prefix (default kv; letters, digits, '_'): a test can build a LAN
#                 of its own, e.g. KV_PREFIX=kvt1 gives kvt1-lan, kvt1-pc, kvt1-cam, next to kv-*
#   KV_LOCK_FD    a descriptor on which the caller already holds this LAN's lock (see lockfile)
#   KV_LOCK_WAIT  seconds to wait for the lock (default 300)
set -euo pipefail

PREFIX=${KV_PREFIX:-kv}
LAN_NS=${PREFIX}-lan
BRIDGE=br0
BRIDGE2=br1
BRIDGE3=br2
KV_PC_ADDR=${KV_PC_ADDR:-192.168.0.10/24}
KV_CAM_ADDRS=${KV_CAM_ADDRS:-192.168.0.102/24 192.168.0.103/24 192.168.0.104/24 192.168.1.88/24}
KV_PC_ADDR2=${KV_PC_ADDR2:-10.20.0.10/24}
KV_CAM2_ADDRS=${KV_CAM2_ADDRS:-10.20.0.102/24 10.20.0.103/24 10.20.0.104/24 10.20.1.88/24}
KV_FAR_ADDRS=${KV_FAR_ADDRS:-172.16.9.102/24 172.16.9.103/24 172.16.9.104/24 172.16.9.105/24}
KV_VENDOR_ADDR=${KV_VENDOR_ADDR:-203.0.113.10/24}
LOCK_FILE=/tmp/kestrova-vlan-${PREFIX}.lock
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
DEPLOYMENT_H=$HERE/../../src/core/config/deployment.h
# First line of every file this script writes below /etc/netns: down removes only those.
MARK="# written by tools/vlan/vlan.sh for the virtual LAN ${PREFIX}"

die() { echo "vlan.sh: $*" >&2; exit 1; }

# The prefix ends up in namespace names, paths and a grep pattern; a '-' in it would let one
# LAN's "down" match another LAN's namespaces (kv-x-pc starts with kv-).
[[ $PREFIX =~ ^[A-Za-z0-9_]{1,24}$ ]] || die "KV_PREFIX must be 1-24 letters, digits or '_'"

# Every command that changes the LAN holds this LAN's lock until it ends, so two users of the
# same prefix never build and tear down at the same time. A caller that holds the lock for a
# whole session (a test) passes the descriptor it holds it on in KV_LOCK_FD; locking that same
# open file again succeeds at once.
lan_lock() {
  command -v flock >/dev/null || die "flock (util-linux) is missing"
  local wait=${KV_LOCK_WAIT:-300} fd
  if [[ ${KV_LOCK_FD:-} =~ ^[0-9]+$ ]] && [ "$(readlink "/proc/$$/fd/$KV_LOCK_FD" 2>/dev/null)" = "$LOCK_FILE" ]; then
    fd=$KV_LOCK_FD
  else
    exec {fd}>>"$LOCK_FILE"
  fi
  flock -w "$wait" "$fd" || die "virtual LAN ${PREFIX} is busy (lock $LOCK_FILE held for ${wait} s)"
}

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

# Plugs interface IFACE of namespace NS into BRIDGE through port PORT, with the addresses given.
plug() {
  local ns=$1 port=$2 bridge=$3 iface=$4; shift 4
  make_ns "$ns"
  if ! ip -n "$ns" link show "$iface" >/dev/null 2>&1; then
    # Created directly between the two namespaces: the pair never appears in the host namespace.
    ip -n "$LAN_NS" link add "$port" type veth peer name "$iface" netns "$ns"
  fi
  ip -n "$LAN_NS" link set "$port" master "$bridge"
  ip -n "$LAN_NS" link set "$port" up
  ns_sysctls "$ns"
  ip -n "$ns" link set "$iface" up
  local a
  for a in "$@"; do
    ip -n "$ns" addr replace "$a" dev "$iface"
  done
}

# Host namespace kv-NAME with eth0 plugged into the bridge through port p-NAME.
attach_host() {
  local name=$1; shift
  local ns=${PREFIX}-${name}
  plug "$ns" "p-${name}" "$BRIDGE" eth0 "$@"
  # Limited broadcast and everything else leave by eth0, i.e. onto the bridge and nowhere else.
  ip -n "$ns" route replace 255.255.255.255/32 dev eth0
  ip -n "$ns" route replace default dev eth0
}

# The PC namespace without the two routes attach_host adds: it reaches its own subnets only.
drop_pc_routes() {
  local ns=${PREFIX}-pc
  ip -n "$ns" route del 255.255.255.255/32 2>/dev/null || true
  while ip -n "$ns" route del default 2>/dev/null; do :; done
}

make_bridge() {
  local br=$1
  if ! ip -n "$LAN_NS" link show "$br" >/dev/null 2>&1; then
    ip -n "$LAN_NS" link add "$br" type bridge
  fi
  # Forward at once (no STP listening delay), flood broadcasts, no IGMP snooping surprises.
  ip -n "$LAN_NS" link set "$br" type bridge stp_state 0 forward_delay 0 mcast_snooping 0 2>/dev/null || \
    ip -n "$LAN_NS" link set "$br" type bridge stp_state 0 forward_delay 0
  ip -n "$LAN_NS" link set "$br" up
}

cmd_up() {
  need_root
  local vendor=0 noroutes=0 twolans=0 routed=0
  while [ $# -gt 0 ]; do
    case $1 in
      --vendor) vendor=1 ;;
      --no-routes) noroutes=1 ;;
      --two-lans) twolans=1 ;;
      --routed) routed=1 ;;
      *) die "usage: vlan.sh up [--vendor] [--no-routes] [--two-lans] [--routed]" ;;
    esac
    shift
  done
  make_ns "$LAN_NS"
  make_bridge "$BRIDGE"
  # shellcheck disable=SC2086
  attach_host pc "$KV_PC_ADDR"
  # shellcheck disable=SC2086
  attach_host cam $KV_CAM_ADDRS
  # Let the camera side send from any of its addresses at once after they are added.
  ip netns exec ${PREFIX}-cam sh -c 'echo 1 > /proc/sys/net/ipv4/ip_nonlocal_bind' 2>/dev/null || true
  if [ $twolans = 1 ]; then
    # The second LAN: its own bridge, the PC's second adapter and a camera namespace of its own,
    # which has its routes on its only interface as the first camera namespace has. The PC's
    # routes stay on eth0: a broadcast that follows the routing table never reaches this LAN.
    make_bridge "$BRIDGE2"
    plug "${PREFIX}-pc" p-pc2 "$BRIDGE2" eth1 "$KV_PC_ADDR2"
    # shellcheck disable=SC2086
    plug "${PREFIX}-cam2" p-cam2 "$BRIDGE2" eth0 $KV_CAM2_ADDRS
    ip -n "${PREFIX}-cam2" route replace 255.255.255.255/32 dev eth0
    ip -n "${PREFIX}-cam2" route replace default dev eth0
    ip netns exec "${PREFIX}-cam2" sh -c 'echo 1 > /proc/sys/net/ipv4/ip_nonlocal_bind' 2>/dev/null || true
  fi
  [ $routed = 0 ] || routed_up
  # Cameras keep their routes either way: a camera's own stack sends its broadcast answers on
  # its only interface.
  [ $noroutes = 0 ] || drop_pc_routes
  [ $vendor = 0 ] || vendor_up "$KV_VENDOR_ADDR"
}

# A camera subnet behind a router: the router forwards between the LAN and that subnet only
# (both its links are inside the LAN namespaces), and as every router it forwards no broadcast.
routed_up() {
  local rtr=${PREFIX}-rtr far=${PREFIX}-far
  make_bridge "$BRIDGE3"
  plug "$rtr" p-rtr "$BRIDGE" eth0 192.168.0.1/24
  plug "$rtr" p-rtr2 "$BRIDGE3" eth1 172.16.9.1/24
  ip netns exec "$rtr" sh -c 'echo 1 > /proc/sys/net/ipv4/ip_forward'
  # shellcheck disable=SC2086
  plug "$far" p-far "$BRIDGE3" eth0 $KV_FAR_ADDRS
  ip -n "$far" route replace 255.255.255.255/32 dev eth0
  ip -n "$far" route replace default via 172.16.9.1 dev eth0
  ip netns exec "$far" sh -c 'echo 1 > /proc/sys/net/ipv4/ip_nonlocal_bind' 2>/dev/null || true
  ip -n "${PREFIX}-pc" route replace 172.16.9.0/24 via 192.168.0.1 dev eth0
}

# The host names the assistant sends its vendor requests to: the DDNS service host, the check
# host of an outer address under the default domain, and the download site's host.
vendor_names() {
  [ -r "$DEPLOYMENT_H" ] || die "cannot read $DEPLOYMENT_H (the service host names)"
  local service label suffix site
  service=$(sed -n 's/.*kDdnsServiceHost = "\([^"]*\)".*/\1/p' "$DEPLOYMENT_H")
  label=$(sed -n 's/.*kOuterCheckHostLabel = "\([^"]*\)".*/\1/p' "$DEPLOYMENT_H")
  suffix=$(sed -n 's/.*kDefaultDdnsDomainSuffix = "\([^"]*\)".*/\1/p' "$DEPLOYMENT_H")
  site=$(sed -n 's/.*kDownloadSite = "\([^"]*\)".*/\1/p' "$DEPLOYMENT_H")
  site=${site#*://}; site=${site%%/*}; site=${site%%:*}
  local n out=()
  # shellcheck disable=SC2086
  for n in "$service" "$label$suffix" "$site" ${KV_VENDOR_EXTRA_NAMES:-}; do
    [[ $n =~ ^[A-Za-z0-9][A-Za-z0-9.-]*$ ]] || die "unusable host name '$n' (from $DEPLOYMENT_H or KV_VENDOR_EXTRA_NAMES)"
    out+=("$n")
  done
  echo "${out[*]}"
}

# Writes one file below /etc/netns/NS (ip netns exec binds it over /etc/FILE inside NS).
netns_file() {
  local ns=$1 file=$2 text=$3 dir=/etc/netns/$1
  mkdir -p "$dir"
  if [ -e "$dir/$file" ] && ! head -n 1 "$dir/$file" | grep -qxF "$MARK"; then
    die "$dir/$file was not written by vlan.sh; leaving it alone"
  fi
  printf '%s\n%s' "$MARK" "$text" > "$dir/$file.tmp"
  mv -f "$dir/$file.tmp" "$dir/$file"
}

# The vendor's service in a namespace of its own on the bridge, at a "public" address reached
# on the link, and its host names in the PC namespace's hosts file. The PC namespace gets a
# resolver file that names only its own loopback, so a name that is not in the hosts file is
# never asked of a name server anywhere else.
vendor_up() {
  local addr=$1 names
  [[ $addr =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+/[0-9]+$ ]] || die "vendor address must be ADDR/LEN, not '$addr'"
  names=$(vendor_names)
  attach_host vendor "$addr"
  netns_file "${PREFIX}-pc" hosts "127.0.0.1 localhost
${addr%/*} $names
"
  netns_file "${PREFIX}-pc" resolv.conf "nameserver 127.0.0.1
options timeout:1 attempts:1
"
}

cmd_vendor() {
  need_root
  [ $# -le 1 ] || die "usage: vlan.sh vendor [ADDR/LEN]"
  ns_exists "$LAN_NS" || cmd_up
  vendor_up "${1:-$KV_VENDOR_ADDR}"
}

# The files below /etc/netns/<prefix>-* that carry this script's mark, and their folders once
# empty; anything else there stays.
remove_netns_files() {
  local dir f
  for dir in /etc/netns/"${PREFIX}"-*; do
    [ -d "$dir" ] || continue
    for f in "$dir"/hosts "$dir"/resolv.conf "$dir"/*.tmp; do
      [ -f "$f" ] && head -n 1 "$f" | grep -qxF "$MARK" && rm -f "$f"
    done
    rmdir "$dir" 2>/dev/null || true
  done
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
  remove_netns_files
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

usage() { sed -n '/^# Usage/,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

main() {
  [ $# -ge 1 ] || { usage; exit 2; }
  local cmd=$1; shift
  case $cmd in
    up|down|vendor|join|addr) need_root; lan_lock ;;
  esac
  case $cmd in
    up) cmd_up "$@" ;;
    vendor) cmd_vendor "$@" ;;
    down) cmd_down ;;
    status) cmd_status ;;
    pc) cmd_exec pc "$@" ;;
    cam) cmd_exec cam "$@" ;;
    exec) cmd_exec "$@" ;;
    addr) cmd_addr "$@" ;;
    join) cmd_join "$@" ;;
    lockfile) echo "$LOCK_FILE" ;;
    -h|--help|help) usage ;;
    *) die "unknown command: $cmd" ;;
  esac
}

main "$@"
