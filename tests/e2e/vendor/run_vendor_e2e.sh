#!/usr/bin/env bash
# The vendor's DDNS service end to end in a virtual LAN of this test's own (KV_PREFIX kvvend):
# kestrova-vendorsim in the vendor namespace, kestrova-camsim in the camera namespace, and the
# driver in the PC namespace asking the service by name, first with the service up, then
# answering too late, then stopped. Everything is torn down on exit.
#   run_vendor_e2e.sh SOURCE_DIR DRIVER KESTROVA_VENDORSIM KESTROVA_CAMSIM
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools or namespaces missing, LAN busy).
set -uo pipefail
SRC=$1 DRIVER=$2 VENDORSIM=$3 CAMSIM=$4
export KV_PREFIX=kvvend
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$DRIVER" "$VENDORSIM" "$CAMSIM"
export KV_VENDOR_ADDR=203.0.113.10/24
export KV_CAM_ADDRS="192.168.0.102/24 192.168.0.103/24"
VENDOR_IP=${KV_VENDOR_ADDR%/*}

e2e_lock 60

WORK=$(mktemp -d /tmp/kestrova-e2e-vendor.XXXXXX)
cleanup() {
  stop_pidfile "$WORK/vendorsim.pid"
  stop_pidfile "$WORK/camsim.pid"
  "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Left over from a run that was killed: we hold the lock, so it is ours to remove.
"$VLAN" down >/dev/null 2>&1
"$VLAN" up --vendor >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up --vendor"; exit 1; }

cat >"$WORK/cams.conf" <<'CAMS'
[front]
family = 9
mac = 00:1A:2B:3C:4D:70
sn = T9E0001
name = Front
ip = 192.168.0.102
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 81
ddns_server = www.ddns.kestrova.test
ddns_user = kv0001
ddns_pwd = ddnspw1
user = admin
pwd = 123456

[broken]
family = 2
identity = MOI0A1B2C3E5
name = Broken
ip = 192.168.0.103
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 80
ddns_server = www.ddns.kestrova.test
ddns_user = kv0004
ddns_pwd = ddnspw4
user = admin
pwd =
fault = http_error
CAMS

accounts() {
  cat <<'ACCOUNTS'
[account kv0001]
password = ddnspw1
online = 1
remote = 192.168.0.102:81

[account kv0002]
password = ddnspw2
online = 0

[account kv0003]
password = ddnspw3
registered = 0

[account kv0004]
password = ddnspw4
online = 1
remote = 192.168.0.103:80

[account kv0005]
password = ddnspw5
online = 1
remote = 192.168.0.120:80
ACCOUNTS
}

# wait_ready OUTFILE TEXT PIDFILE: bounded wait for a simulator's ready line.
wait_ready() {
  for _ in $(seq 100); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  cat "$1"; return 1
}

start_vendorsim() {  # start_vendorsim SERVICE-LINES
  stop_pidfile "$WORK/vendorsim.pid"
  { printf '[service]\n%s\nfetch_timeout_ms = 1000\nfetch_allow = 192.168.0.0/16\n\n' "$1"; accounts; } >"$WORK/vendor.conf"
  : >"$WORK/vendorsim.out"
  "$VLAN" exec vendor "$VENDORSIM" --config "$WORK/vendor.conf" --log "$WORK/vendorsim.log" \
    --pidfile "$WORK/vendorsim.pid" >"$WORK/vendorsim.out" 2>&1 &
  wait_ready "$WORK/vendorsim.out" "vendorsim: ready" || { echo "FAIL: the service did not start"; exit 1; }
  grep -q "vendorsim: http 0.0.0.0:808" "$WORK/vendorsim.out" || { cat "$WORK/vendorsim.out"; echo "FAIL: the service is not on port 808"; exit 1; }
}

"$VLAN" cam "$CAMSIM" --config "$WORK/cams.conf" --iface eth0 --log "$WORK/camsim.log" \
  --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
wait_ready "$WORK/camsim.out" "camsim: ready" || { echo "FAIL: the camera simulator did not start"; exit 1; }

fail=0
run_driver() {  # run_driver PHASE
  if "$VLAN" pc env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
       KESTROVA_VLAN_PC=1 KV_SERVICE="$1" KV_VENDOR_IP="$VENDOR_IP" \
       KV_VENDOR_LOG="$WORK/vendorsim.log" KV_CAMSIM_LOG="$WORK/camsim.log" \
       "$DRIVER" >"$WORK/driver-$1.out" 2>&1; then
    echo "ok: service $1 ($(grep -c '^\[       OK' "$WORK/driver-$1.out") tests)"
  else
    cat "$WORK/driver-$1.out"; echo "FAIL: service $1"; fail=1
  fi
}

start_vendorsim "fault = none"
run_driver up
start_vendorsim "fault = slow
slow_ms = 30000"
run_driver slow
stop_pidfile "$WORK/vendorsim.pid"
run_driver stopped

if [ $fail != 0 ]; then
  echo "--- service log"; tail -n 40 "$WORK/vendorsim.log"
  echo "--- camera log"; grep -v " rx \| tx " "$WORK/camsim.log" | tail -n 40
  exit 1
fi
echo "PASS"
