#!/usr/bin/env bash
# kestrova-cli ddns-check, ddns-set and forward-check in a virtual LAN of their own (KV_PREFIX,
# default kvrem). The vendor's service runs in its namespace and may fetch from the public
# network only; a router namespace (LAN 192.168.0.1, public 203.0.113.1) forwards public port
# 8081 to the office camera's web server, as a home router's port mapping does. For each state
# of the service (online, unknown ID, offline, wrong password, garbage, slow, down) the commands
# must print the result box's lines exactly, in English unless asked otherwise, and end with
# their exit status.
#   remote_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM KESTROVA_VENDORSIM KESTROVA_PORTFWD
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 CAMSIM=$3 VENDORSIM=$4 PORTFWD=$5
export KV_PREFIX=${KV_PREFIX:-kvrem}
export KESTROVA_TIME_SCALE=${KESTROVA_TIME_SCALE:-0.1}
export KV_VENDOR_ADDR=203.0.113.10/24
export KV_CAM_ADDRS="192.168.0.102/24 192.168.0.103/24 192.168.0.104/24 192.168.0.105/24"

. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$CAMSIM" "$VENDORSIM" "$PORTFWD"
e2e_lock

WORK=$(mktemp -d /tmp/kestrova-e2e-remote.XXXXXX)
cleanup() {
  for p in vendorsim camsim portfwd; do stop_pidfile "$WORK/$p.pid"; done
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$VLAN" down >/dev/null 2>&1
bash "$VLAN" up --vendor >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up --vendor"; exit 1; }
bash "$VLAN" join router 192.168.0.1/24 203.0.113.1/24 >>"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: router"; exit 1; }

wait_ready() {  # wait_ready OUTFILE TEXT
  for _ in $(seq 100); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  cat "$1"; return 1
}

cat >"$WORK/cams.conf" <<'CAMS'
[office]
family = 9
mac = 00:1A:2B:3C:4D:70
sn = T9E0001
name = Office
ip = 192.168.0.102
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 81
ddns_server = www.ddns.kestrova.test
ddns_user = kv0001
ddns_pwd = ddnspw1
user = admin
pwd = 123456

[yard]
family = 8
mac = 00:1e:2f:40:50:61
sn = 0a0b0c0d0e0f11
name = Yard
ip = 192.168.0.103
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 80
ddns_server = www.ddns.kestrova.test
ddns_user = kv0006
ddns_pwd = ddnspw6
user = admin
pwd = secret8

[porch]
family = 2
identity = MOI0A1B2C3E6
name = Porch
ip = 192.168.0.104
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 80
ddns_server = www.ddns.kestrova.test:808
ddns_user = kv0002
ddns_pwd = ddnspw2
user = admin
pwd =
restart_ms = 1000

[garage]
family = 5
mac = 00:21:6B:10:20:40
sn = CTP5000140
name = Garage
ip = 192.168.0.105
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 81
pwd = vemra
oray_status = 3
CAMS

"$VLAN" cam "$CAMSIM" --config "$WORK/cams.conf" --iface eth0 --log "$WORK/camsim.log" \
  --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
wait_ready "$WORK/camsim.out" "camsim: ready" || { echo "FAIL: the camera simulator did not start"; exit 1; }

# The router's mapping: public 8081 to the office camera; nothing on 8083 (the yard camera's
# account names it, but nobody set the mapping up).
"$VLAN" exec router "$PORTFWD" --forward 203.0.113.1:8081=192.168.0.102:81 --log "$WORK/portfwd.log" \
  --pidfile "$WORK/portfwd.pid" >"$WORK/portfwd.out" 2>&1 &
wait_ready "$WORK/portfwd.out" "portfwd: ready" || { echo "FAIL: the router did not start"; exit 1; }

# service SERVICE-LINES ACCOUNT-LINES: the service's state (re-read by the running service).
service() {
  { printf '[service]\n%b\nfetch_timeout_ms = 2000\nfetch_allow = 203.0.113.0/24\n\n' "$1"; printf '%b' "$2"; } \
    >"$WORK/vendor.conf.tmp"
  mv -f "$WORK/vendor.conf.tmp" "$WORK/vendor.conf"
  sleep 0.05
}
start_vendorsim() {
  stop_pidfile "$WORK/vendorsim.pid"
  : >"$WORK/vendorsim.out"
  "$VLAN" exec vendor "$VENDORSIM" --config "$WORK/vendor.conf" --log "$WORK/vendorsim.log" \
    --pidfile "$WORK/vendorsim.pid" >"$WORK/vendorsim.out" 2>&1 &
  wait_ready "$WORK/vendorsim.out" "vendorsim: ready" || { echo "FAIL: the service did not start"; exit 1; }
}

OFFICE=00:1A:2B:3C:4D:70 YARD=001e2f405061 PORCH=MOI0A1B2C3E6 GARAGE=00216B102040
# The accounts of the cameras; the office camera's entry is each case's own.
others='[account kv0006]\npassword = ddnspw6\nonline = 1\nremote = 203.0.113.1:8083\n\n[account kv0002]\npassword = ddnspw2\nonline = 0\n\n'
office() { printf '[account kv0001]\n%b\n\n%b' "$1" "$others"; }

fail=0
n=0
# expect NAME STATUS LINES... -- CLI-ARGS: the command's output must be LINES exactly and its
# exit status STATUS.
expect() {
  local name=$1 want=$2; shift 2
  local lines=()
  while [ "$1" != "--" ]; do lines+=("$1"); shift; done
  shift
  n=$((n + 1))
  if [ ${#lines[@]} -gt 0 ]; then printf '%s\n' "${lines[@]}" >"$WORK/want.$n"; else : >"$WORK/want.$n"; fi
  local start=$SECONDS
  "$VLAN" pc env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
    "$CLI" "$@" >"$WORK/got.$n" 2>"$WORK/err.$n"
  local got=$?
  LAST_SECONDS=$((SECONDS - start))
  if [ "$got" = "$want" ] && diff -u "$WORK/want.$n" "$WORK/got.$n" >"$WORK/diff.$n"; then
    echo "ok: $name: exit $got (${LAST_SECONDS} s)"
  else
    echo "FAIL: $name: exit $got (want $want)"
    cat "$WORK/diff.$n" "$WORK/err.$n"
    fail=1
  fi
}

T=$'\t'
CONFIG_OK="Obtaining DDNS options from the camera...${T}${T}Success!"
REG="Obtaining DDNS registration status ..."
REG_OK="${REG}${T}${T}Success!"
NOID=("    Error: no DDNS account." "" "Please check the DDNS setting in the camera.")
DO=("    Approach:" "        1.Check whether SN setting is correct;" "        2.Please contact product vendor technical support.")
NOREG="    Error: DDNS account and password are correct, but have not logined DNS server."
DO2=("    Approach:" "        1.Whether the network can connect to external network;"
     "        2.Check the camera's gateway setting;" "        3.Check the camera's DNS server setting;"
     "        4.Whether TCP port 808 is not blocked in this networks or not.")
ERRPWD=("    Error: DDNS password is incorrect" "" "Please check the DDNS setting in the camera.")
UNKNOWN=("    Error: unknown error " "" " please contact the IP camera supplier.")
NOSERVER=("    Error: could not connect the DDNS server " "" " please check if the internet connection of your pc is ok")
FWD_NOSERVER="Checking...${T}${T}Failure, Can not connect the server www.ddns.kestrova.test."

# ---- the service up ----------------------------------------------------------------------
service 'fault = none' "$(office 'password = ddnspw1\nonline = 1\nremote = 203.0.113.1:8081')"
start_vendorsim

expect "ddns-check office online" 0 "$CONFIG_OK" "$REG_OK" -- ddns-check --mac $OFFICE
expect "ddns-check office online, Polish" 0 "Pobieranie ustawień DDNS z kamery...${T}${T}Powodzenie!" \
  "Pobieranie stanu rejestracji DDNS...${T}${T}Powodzenie!" -- ddns-check --mac $OFFICE --lang pl
expect "forward-check office through the router" 0 "Checking...${T}${T}Succefully" -- forward-check --mac $OFFICE
grep -q -- "-> 203.0.113.1:8081 -> 192.168.0.102:81" "$WORK/portfwd.log" ||
  { echo "FAIL: the service's fetch did not pass the router"; cat "$WORK/portfwd.log"; fail=1; }
expect "forward-check yard without a mapping" 3 "Checking...${T}${T}Failed, this camera can not be connected in external network." \
  "    Approach:" "        1.Click the button \"Set port mapping\" to set port mapping in the router;" \
  "        2.The port mapping is not set up in the router, or port mapping is invalid;" \
  "        3.There are multi-level network routing." "        4.Please contact product vendor technical support." \
  -- forward-check --mac $YARD
[ "$(grep -c 'checkurl.asp?url=http://203.0.113.1:8083/oem.txt' "$WORK/vendorsim.log")" = 3 ] ||
  { echo "FAIL: the yard camera was not probed three times"; fail=1; }
expect "ddns-check yard online" 0 "$REG_OK" -- ddns-check --mac $YARD
expect "ddns-check porch offline" 3 "$CONFIG_OK" "$REG" "$NOREG" "${DO2[@]}" -- ddns-check --mac $PORCH
expect "forward-check porch offline" 3 "    IP camera is not currently online, please check whether the success of port mapping!" \
  -- forward-check --mac $PORCH
expect "ddns-check garage (its own client)" 3 "Checking the camera's DDNS state..." "$NOREG" -- ddns-check --mac $GARAGE
expect "ddns-check no such camera" 1 -- ddns-check --mac 00:00:00:00:00:99 --seconds 2
expect "forward-check no such camera" 1 -- forward-check --mac 00:00:00:00:00:99 --seconds 2

service 'fault = none' "$(office 'registered = 0')"
expect "ddns-check office unknown" 3 "$CONFIG_OK" "$REG" "${NOID[@]}" "${DO[@]}" -- ddns-check --mac $OFFICE
expect "forward-check office unknown" 3 "${NOID[@]}" "${DO[@]}" -- forward-check --mac $OFFICE

service 'fault = none' "$(office 'password = ddnspw1\nonline = 0')"
expect "ddns-check office offline" 3 "$CONFIG_OK" "$REG" "$NOREG" "${DO2[@]}" -- ddns-check --mac $OFFICE

service 'fault = none' "$(office 'password = changed\nonline = 0')"
expect "ddns-check office wrong password" 3 "$CONFIG_OK" "$REG" "${ERRPWD[@]}" -- ddns-check --mac $OFFICE

service 'fault = none' "$(office 'password = ddnspw1\nonline = 1\nremote = 203.0.113.1:8081\nfault = garbage')"
expect "ddns-check office garbage" 3 "$CONFIG_OK" "$REG" "${UNKNOWN[@]}" -- ddns-check --mac $OFFICE
expect "forward-check office garbage" 3 "${UNKNOWN[@]}" -- forward-check --mac $OFFICE

# Answers after 30 s: the 20 s time-out ends the check, not later.
service 'fault = none\nslow_ms = 30000' "$(office 'password = ddnspw1\nonline = 1\nremote = 203.0.113.1:8081\nfault = slow')"
expect "ddns-check office slow" 3 "$CONFIG_OK" "$REG" "${NOSERVER[@]}" -- ddns-check --mac $OFFICE
if [ "$LAST_SECONDS" -lt 19 ] || [ "$LAST_SECONDS" -gt 30 ]; then
  echo "FAIL: the slow service's check took ${LAST_SECONDS} s, not the 20 s time-out"; fail=1
fi

# ---- the DDNS account write --------------------------------------------------------------
service 'fault = none' "$(office 'password = ddnspw1\nonline = 1\nremote = 203.0.113.1:8081')"
expect "ddns-set porch wrong camera password" 3 "Account and password of the camera are not correct!" -- \
  ddns-set --mac $PORCH --server www.ddns.kestrova.test --id kv0001 --ddns-password ddnspw1 --password wrong
expect "ddns-set office (no write for family 9)" 3 -- \
  ddns-set --mac $OFFICE --server www.ddns.kestrova.test --id kv0001 --ddns-password ddnspw1
expect "ddns-set porch" 0 "the camera took the DDNS account; waiting for it to come back" "the camera is back" -- \
  ddns-set --mac $PORCH --server " www.ddns.kestrova.test " --id " kv0001 " --ddns-password ddnspw1
grep -q "set_ddns.cgi?cam_user=admin&cam_pwd=&service=7&user=kv0001&pwd=ddnspw1&host=&proxy_svr=www.ddns.kestrova.test&proxy_port=808&restart_dyndns=1" \
  "$WORK/camsim.log" || { echo "FAIL: the write the camera received"; grep set_ddns "$WORK/camsim.log"; fail=1; }
grep -q "camera=porch restarting" "$WORK/camsim.log" || { echo "FAIL: the porch camera did not restart"; fail=1; }
expect "ddns-check porch with its new account" 0 "$CONFIG_OK" "$REG_OK" -- ddns-check --mac $PORCH

# ---- the service down: connections reset at once -------------------------------------------
service 'fault = down' "$(office 'password = ddnspw1\nonline = 1\nremote = 203.0.113.1:8081')"
start_vendorsim
expect "ddns-check office service down" 3 "$CONFIG_OK" "$REG" "${NOSERVER[@]}" -- ddns-check --mac $OFFICE
expect "forward-check office service down" 3 "$FWD_NOSERVER" -- forward-check --mac $OFFICE

if [ $fail != 0 ]; then
  echo "--- service log"; tail -n 40 "$WORK/vendorsim.log"
  echo "--- router log"; tail -n 20 "$WORK/portfwd.log"
  echo "--- camera log"; grep -v " rx \| tx " "$WORK/camsim.log" | tail -n 40
  exit 1
fi
echo "PASS"
