#!/usr/bin/env bash
# kestrova-cli setup end to end in a virtual LAN of its own (KV_PREFIX, default kvsetup): for a
# camera of each of the families 2, 5, 8 and 9 at the factory address 192.168.1.126 (another
# subnet than the PC's 192.168.0.10/24) the command moves it into the PC's subnet, sees it
# reappear and answer, and exits 0; then the other exit statuses: 1 no such camera, 2 the
# camera refused the settings, 3 it never reappeared, 4 it reappeared but does not answer, and
# a camera that needs no change (checked only). Each case runs its own simulator.
#   setup_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM
# The waits are scaled by KESTROVA_TIME_SCALE (default here 0.1).
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 SIM=$3
export KV_PREFIX=${KV_PREFIX:-kvsetup}
export KESTROVA_TIME_SCALE=${KESTROVA_TIME_SCALE:-0.1}
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$SIM"
e2e_lock

WORK=$(mktemp -d)
stop_sim() {
  if [ -f "$WORK/camsim.pid" ]; then
    kill "$(cat "$WORK/camsim.pid")" 2>/dev/null
    for _ in $(seq 50); do [ -f "$WORK/camsim.pid" ] || break; sleep 0.1; done
    rm -f "$WORK/camsim.pid"
  fi
}
cleanup() {
  stop_sim
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
bash "$VLAN" down >/dev/null 2>&1 || true
bash "$VLAN" up >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up"; exit 1; }
# A home LAN's PC has a default gateway (the camera gets it); the camera's factory subnet stays
# on the link so that the PC reaches it before it moves.
bash "$VLAN" pc ip route replace default via 192.168.0.1 dev eth0 onlink &&
  bash "$VLAN" pc ip route replace 192.168.1.0/24 dev eth0 || { echo "FAIL: PC routes"; exit 1; }

# start_sim NAME: the simulator with $WORK/NAME.conf
start_sim() {
  stop_sim
  # The PC forgets the cameras of earlier cases: a neighbour entry left behind would make an
  # address this case's camera moves to look taken.
  bash "$VLAN" pc ip neigh flush dev eth0 >/dev/null 2>&1
  : >"$WORK/camsim.out"
  bash "$VLAN" cam "$SIM" --config "$WORK/$1.conf" --iface eth0 --log "$WORK/camsim.log" \
    --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
  for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/camsim.out" && return 0; sleep 0.1; done
  cat "$WORK/camsim.out"
  return 1
}

# camera NAME FAMILY ID EXTRA-LINES: writes $WORK/NAME.conf with one camera at the factory address
camera() {
  local name=$1 fam=$2 id=$3 extra=$4 key=mac
  [ "$fam" = 2 ] && key=identity
  printf '[%s]\nfamily = %s\n%s = %s\nname = %s\nip = 192.168.1.126\nmask = 255.255.255.0\ngateway = 192.168.1.1\ndhcp = 0\n%b' \
    "$name" "$fam" "$key" "$id" "$name" "$extra" >"$WORK/$name.conf"
}

fail=0
# expect NAME STATUS PATTERN... -- CLI-ARGS: runs setup against the camera of NAME.conf and
# checks the exit status and that every pattern is in the output.
expect() {
  local name=$1 want=$2; shift 2
  local patterns=()
  while [ "$1" != "--" ]; do patterns+=("$1"); shift; done
  shift
  if ! start_sim "$name"; then echo "FAIL: $name: the simulator did not start"; fail=1; return; fi
  bash "$VLAN" pc "$CLI" setup "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
  local got=$?
  local ok=1
  [ "$got" = "$want" ] || ok=0
  for p in "${patterns[@]}"; do grep -qF -- "$p" "$WORK/$name.out" "$WORK/$name.err" || ok=0; done
  if [ $ok = 1 ]; then
    echo "ok: $name: exit $got"
  else
    echo "FAIL: $name: exit $got (want $want)"
    cat "$WORK/$name.out" "$WORK/$name.err"
    tail -n 20 "$WORK/camsim.log"
    fail=1
  fi
}

camera f2 2 MOI0A1B2C3D4 'http_port = 80\n'
camera f5 5 00:21:6B:10:20:30 'sn = CTP5000123\nhttp_port = 81\npwd = vemra\n'
camera f8 8 00:1e:2f:40:50:60 'sn = 0a0b0c0d0e0f10\nhttp_port = 80\ndata_port = 9000\npwd = secret8\n'
camera f9 9 00:1A:2B:3C:4D:5E 'sn = T9D0004\nhttp_port = 8080\nuser = admin\npwd = 123456\n'

expect f2 0 '"IP": "192.168.0.83"' '"Sent": true' '"Reappeared": true' '"Answers": true' \
  '"LanUrl": "http://192.168.0.83"' '"Gateway": "192.168.0.1"' '"DNS1": "8.8.8.8"' -- \
  --mac MOI0A1B2C3D4 --json
expect f5 0 'new: address 192.168.0.174 http port 1129' 'reappeared: yes' 'answers: yes' \
  'lan address: http://192.168.0.174:1129' 'pc: address 192.168.0.10 gateway' -- --mac 00216B102030
expect f8 0 '"IP": "192.168.0.222"' '"DataPort": 11096' '"Reappeared": true' '"Answers": true' -- \
  --mac 001e2f405060 --json
expect f9 0 '"IP": "192.168.0.220"' '"HttpPort": 8080' '"Reappeared": true' '"Answers": true' -- \
  --mac 00:1A:2B:3C:4D:5E --password 123456 --json

# The other ends.
expect f2 1 'no camera with MAC 00:00:00:00:00:99' -- --mac 00:00:00:00:00:99 --seconds 2
expect f9 2 'did not accept' '"Sent": false' '"Reappeared": false' -- --mac 00:1A:2B:3C:4D:5E --password wrong --json
# A wrong account: the family-2 camera ignores the command and stays where it was.
expect f2 3 'did not reappear at 192.168.0.83' 'reappeared: no' -- --mac MOI0A1B2C3D4 --password wrong
# It moves, but its web server takes connections and never answers.
camera hang 2 MOI0A1B2C3D4 'http_port = 80\nfault = hang\n'
expect hang 4 'does not answer' '"Reappeared": true' '"Answers": false' -- --mac MOI0A1B2C3D4 --json
# Already static in the PC's subnet: nothing is sent, it is only checked.
printf '[near]\nfamily = 2\nidentity = MOI0A1B2C3D7\nname = Near\nip = 192.168.0.50\nmask = 255.255.255.0\ngateway = 192.168.0.1\nhttp_port = 80\ndhcp = 0\n' >"$WORK/near.conf"
expect near 0 '"Decision": "check"' '"Sent": false' '"Answers": true' '"LanUrl": "http://192.168.0.50"' -- \
  --mac MOI0A1B2C3D7 --json

[ $fail = 0 ] || exit 1
echo "PASS"
