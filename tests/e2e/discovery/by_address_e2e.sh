#!/usr/bin/env bash
# Cameras added by address: in "vlan.sh up --routed" a camera of every UDP family (2, 5, 8, 9)
# sits in 172.16.9.0/24 behind a router namespace, which forwards no broadcast. kestrova-cli
# discover must not find them by broadcast, must find each one given with --address (next to
# the cameras of the PC's own LAN, found by broadcast as always), and keep them listed over
# the rounds while they answer.
#   by_address_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 SIM=$3
HERE=$(cd "$(dirname "$0")" && pwd)
export KV_PREFIX=${KV_PREFIX:-kvaddr}
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$SIM"
e2e_lock 60

WORK=$(mktemp -d /tmp/kestrova-e2e-addr.XXXXXX)
cleanup() {
  stop_pidfile "$WORK/near.pid"
  stop_pidfile "$WORK/far.pid"
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$VLAN" down >/dev/null 2>&1
bash "$VLAN" up --routed >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up --routed"; exit 1; }

start_cams() {  # start_cams NAMESPACE-SIDE CONFIG TAG
  bash "$VLAN" exec "$1" "$SIM" --config "$2" --iface eth0 --no-tcp --log "$WORK/$3.log" \
    --pidfile "$WORK/$3.pid" >"$WORK/$3.out" 2>&1 &
  for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/$3.out" && return 0; sleep 0.1; done
  cat "$WORK/$3.out"; echo "FAIL: simulator $3 did not start"; exit 1
}
sed '/^\[hallway\]/,$d' "$SRC/sim/camsim/examples/lan.conf" >"$WORK/near.conf"
cp "$HERE/far_subnet.conf" "$WORK/far.conf"
start_cams cam "$WORK/near.conf" near
start_cams far "$WORK/far.conf" far

listed() {  # listed JSONFILE MAC ADDRESS
  grep -F "\"MAC\": \"$2\"" "$1" | grep -qF "\"IP\": \"$3\""
}
near=("00216B102030|192.168.0.102" "00:1A:2B:3C:4D:5E|192.168.0.104")
far=("MOI0A1B2C3EE|172.16.9.105" "00216B10203E|172.16.9.102" "001e2f40506e|172.16.9.103"
     "00:1A:2B:3C:4D:5D|172.16.9.104")
fail=0

# By broadcast alone: the LAN's cameras, none behind the router.
bash "$VLAN" pc "$CLI" discover --seconds 2 --json >"$WORK/bcast.json" 2>&1
for c in "${near[@]}"; do
  IFS='|' read -r mac addr <<<"$c"
  listed "$WORK/bcast.json" "$mac" "$addr" || { echo "FAIL: $mac not found at $addr by broadcast"; fail=1; }
done
for c in "${far[@]}"; do
  IFS='|' read -r mac addr <<<"$c"
  if grep -qF "\"MAC\": \"$mac\"" "$WORK/bcast.json"; then echo "FAIL: $mac found by broadcast"; fail=1; fi
done
[ $fail = 0 ] && echo "ok: broadcast finds the LAN's cameras and none behind the router"

# Each far camera given by its address.
args=()
for c in "${far[@]}"; do args+=(--address "${c#*|}"); done
bash "$VLAN" pc "$CLI" discover --seconds 4 --json "${args[@]}" >"$WORK/addr.json" 2>&1
for c in "${near[@]}" "${far[@]}"; do
  IFS='|' read -r mac addr <<<"$c"
  if listed "$WORK/addr.json" "$mac" "$addr"; then
    echo "ok: $mac found at $addr"
  else
    echo "FAIL: $mac not found at $addr"; fail=1
  fi
done
# The family-8 camera behind the router was followed up (its DDNS account arrived).
grep -F '"MAC": "001e2f40506e"' "$WORK/addr.json" | grep -qF '"DDnsUser": "h8c0003"' ||
  { echo "FAIL: the family-8 camera's follow-ups did not reach it"; fail=1; }
[ $fail = 0 ] || { cat "$WORK/bcast.json" "$WORK/addr.json"; tail -n 30 "$WORK/far.log"; exit 1; }
echo "PASS"
