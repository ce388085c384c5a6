#!/usr/bin/env bash
# The built-in router plug-in (automatic.so) mapping ports through the simulated gateway
# kestrova-igdsim in a virtual LAN of its own (KV_PREFIX, default kvigd): the router namespace
# has LAN side 192.168.0.1 on the LAN bridge and WAN side 203.0.113.1/24 on a veth pair that
# stays inside it; the gateway answers SSDP there, keeps the mapping table behind its
# WANIPConnection:1 control and tells its public address over NAT-PMP too. The program folder
# holds the built-in plug-in and a router list with one more router (its address answers
# nothing), so the built-in entry comes first.
#   igd_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_IGDSIM AUTOMATIC_PLUGIN
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 IGDSIM=$3 PLUGIN=$4
export KV_PREFIX=${KV_PREFIX:-kvigd}
export KV_CAM_ADDRS="192.168.0.102/24"

. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$IGDSIM"
[ -f "$PLUGIN" ] || skip "$PLUGIN not built"
e2e_lock

WORK=$(mktemp -d /tmp/kestrova-e2e-igd.XXXXXX)
ROUTER_NS=${KV_PREFIX}-router
cleanup() {
  stop_pidfile "$WORK/igd.pid"
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$VLAN" down >/dev/null 2>&1
bash "$VLAN" up >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up"; exit 1; }
bash "$VLAN" join router 192.168.0.1/24 >>"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: router"; exit 1; }
ip -n "$ROUTER_NS" link add wan0 type veth peer name wan1 &&
  ip -n "$ROUTER_NS" addr add 203.0.113.1/24 dev wan0 &&
  ip -n "$ROUTER_NS" link set wan0 up && ip -n "$ROUTER_NS" link set wan1 up ||
  { echo "FAIL: the router's WAN side"; exit 1; }

# start_igd ARGS...: the gateway (restarted when it runs), with a web server's mapping of public
# port 81 and a game console's (disabled) one in its table.
printf '81 TCP 192.168.0.50 81 1 web\n27015 UDP 192.168.0.23 27015 0 console\n' >"$WORK/table.txt"
start_igd() {
  stop_pidfile "$WORK/igd.pid"
  : >"$WORK/igd.out"
  "$VLAN" exec router "$IGDSIM" --lan 192.168.0.1 --table "$WORK/table.txt" --state "$WORK/igd.state" \
    --log "$WORK/igd.log" --pidfile "$WORK/igd.pid" "$@" >"$WORK/igd.out" 2>&1 &
  for _ in $(seq 100); do grep -q "igdsim: ready" "$WORK/igd.out" && return 0; sleep 0.1; done
  cat "$WORK/igd.out"; echo "FAIL: the gateway did not start"; exit 1
}
start_igd --wan 203.0.113.1

mkdir -p "$WORK/prog/Router"
cp "$PLUGIN" "$WORK/prog/Router/automatic.so"
printf '[Router]\r\nCount=1\r\nRenName1=Sample router\r\nRcnName1=示例路由器\r\nrpath1=sample.so\r\nVersion1=1.0.0.1\r\n' \
  >"$WORK/prog/Router/Router.ini"
printf '[Setup]\r\nRouterUrl=http://192.168.0.1:1/router/Router.txt\r\nDownDllURL=http://192.168.0.1:1/router/\r\n' \
  >"$WORK/prog/Config.ini"

fail=0
n=0
# expect NAME STATUS LINES... -- CLI-ARGS: stdout must be LINES exactly, the exit status STATUS
# (stderr is kept in $WORK/err.$n).
expect() {
  local name=$1 want=$2; shift 2
  local lines=()
  while [ "$1" != "--" ]; do lines+=("$1"); shift; done
  shift
  n=$((n + 1))
  if [ ${#lines[@]} -gt 0 ]; then printf '%s\n' "${lines[@]}" >"$WORK/want.$n"; else : >"$WORK/want.$n"; fi
  "$VLAN" pc env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
    KESTROVA_PROGRAM_DIR="$WORK/prog" "$CLI" "$@" >"$WORK/got.$n" 2>"$WORK/err.$n"
  local got=$?
  if [ "$got" = "$want" ] && diff -u "$WORK/want.$n" "$WORK/got.$n" >"$WORK/diff.$n"; then
    echo "ok: $name: exit $got"
  else
    echo "FAIL: $name: exit $got (want $want)"
    cat "$WORK/diff.$n" "$WORK/err.$n"
    fail=1
  fi
}
table_is() {  # table_is NAME LINES...: the gateway's mapping table
  local name=$1; shift
  printf '%s\n' "$@" >"$WORK/want.state"
  if diff -u "$WORK/want.state" "$WORK/igd.state" >"$WORK/diff.state"; then
    echo "ok: $name: the gateway's table"
  else
    echo "FAIL: $name: the gateway's table"; cat "$WORK/diff.state"; fail=1
  fi
}
no_cgnat_warning() {
  if grep -q IDS_ROUTER_CGNAT "$WORK/err.$n"; then echo "FAIL: $1: a carrier-grade NAT warning"; fail=1; fi
}
T=$'\t'
OK="IDS_PORTFORWARD_OK${T}The port mapping is set up successfully！"
USING="IDS_PORT_USING${T}The port you specified is already occupied, Are you sure you want to delete?"
WEB="81 TCP 192.168.0.50 81 1 web"
CONSOLE="27015 UDP 192.168.0.23 27015 0 console"
MAP=(--router 1 --router-user admin --gateway 192.168.0.1)

expect "routers: the built-in entry first" 0 "1${T}0${T}Automatic (UPnP / NAT-PMP)${T}automatic.so${T}1.0.0.0" \
  "2${T}1${T}Sample router${T}sample.so${T}" -- routers
expect "routers in Simplified Chinese" 0 "1${T}0${T}自动 (UPnP / NAT-PMP)${T}automatic.so${T}1.0.0.0" \
  "2${T}1${T}示例路由器${T}sample.so${T}" -- routers --lang cn

expect "port-map: one port" 0 "$OK" -- port-map "${MAP[@]}" --map 192.168.0.102:554
no_cgnat_warning "one port"
table_is "one port" "$WEB" "$CONSOLE" "554 TCP 192.168.0.102 554 1 192.168.0.102:554"
grep -q "SSDP answered" "$WORK/igd.log" || { echo "FAIL: the plug-in found the gateway without SSDP"; fail=1; }
expect "port-map: two ports" 0 "$OK" -- port-map "${MAP[@]}" --map 192.168.0.102:8000 --map 192.168.0.102:8001
table_is "two ports" "$WEB" "$CONSOLE" "554 TCP 192.168.0.102 554 1 192.168.0.102:554" \
  "8000 TCP 192.168.0.102 8000 1 192.168.0.102:8000" "8001 TCP 192.168.0.102 8001 1 192.168.0.102:8001"
expect "port-map: the same port again" 0 "$OK" -- port-map "${MAP[@]}" --map 192.168.0.102:554 --lang en
table_is "the same port again" "$WEB" "$CONSOLE" "554 TCP 192.168.0.102 554 1 192.168.0.102:554" \
  "8000 TCP 192.168.0.102 8000 1 192.168.0.102:8000" "8001 TCP 192.168.0.102 8001 1 192.168.0.102:8001"

# Public port 81 is the web server's: replaced only when the user says yes.
expect "port-map: conflict answered no" 3 "$USING" -- port-map "${MAP[@]}" --map 192.168.0.102:81 --no
expect "port-map: conflict without an answer" 3 "$USING" -- port-map "${MAP[@]}" --map 192.168.0.102:81
table_is "conflict declined" "$WEB" "$CONSOLE" "554 TCP 192.168.0.102 554 1 192.168.0.102:554" \
  "8000 TCP 192.168.0.102 8000 1 192.168.0.102:8000" "8001 TCP 192.168.0.102 8001 1 192.168.0.102:8001"
expect "port-map: conflict answered yes" 0 "$OK" -- port-map "${MAP[@]}" --map 192.168.0.102:81 --yes
table_is "conflict answered yes" "$CONSOLE" "554 TCP 192.168.0.102 554 1 192.168.0.102:554" \
  "8000 TCP 192.168.0.102 8000 1 192.168.0.102:8000" "8001 TCP 192.168.0.102 8001 1 192.168.0.102:8001" \
  "81 TCP 192.168.0.102 81 1 192.168.0.102:81"
grep -q "SOAP DeletePortMapping 81 TCP -> 200" "$WORK/igd.log" || { echo "FAIL: no deletion of the web server's mapping"; fail=1; }

# Another address than the gateway's: not this router.
expect "port-map at another address" 3 "IDS_SELECT_ROUTER${T}You choose the wrong router!" -- \
  port-map --router 1 --router-user admin --gateway 192.168.0.2 --map 192.168.0.102:81

# A gateway whose own Internet address is a carrier-grade NAT one: mapped, with the warning.
start_igd --wan 100.64.12.34
expect "port-map behind carrier-grade NAT" 0 "$OK" -- port-map "${MAP[@]}" --map 192.168.0.102:554
grep -qx "IDS_ROUTER_CGNAT${T}The router's Internet address is a carrier-grade NAT address (100.64.0.0/10): .*" \
  "$WORK/err.$n" || { echo "FAIL: no carrier-grade NAT warning"; cat "$WORK/err.$n"; fail=1; }
table_is "behind carrier-grade NAT" "$WEB" "$CONSOLE" "554 TCP 192.168.0.102 554 1 192.168.0.102:554"

# A router without UPnP that tells its public address over NAT-PMP, which maps no ports for a
# camera: refused as the wrong router, the table untouched.
start_igd --wan 203.0.113.1 --no-upnp
expect "port-map: NAT-PMP only" 3 "IDS_SELECT_ROUTER${T}You choose the wrong router!" -- \
  port-map "${MAP[@]}" --map 192.168.0.102:554
grep -q "NAT-PMP op 0" "$WORK/igd.log" || { echo "FAIL: the plug-in did not ask NAT-PMP"; fail=1; }
table_is "NAT-PMP only" "$WEB" "$CONSOLE"

[ "$fail" = 0 ] && echo "PASS" || { echo "--- gateway log"; cat "$WORK/igd.log"; }
exit $fail
