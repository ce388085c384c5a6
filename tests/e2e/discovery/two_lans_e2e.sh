#!/usr/bin/env bash
# Discovery over two LANs: the PC namespace of "vlan.sh up --two-lans" has eth0 on the first LAN
# (its routes, the broadcast route included, lead there) and eth1 on a second LAN with cameras of
# its own; each LAN has a camera of every UDP family (2, 5, 8, 9). kestrova-cli discover must find
# all eight within its first rounds, and set-ip must reach cameras of the second LAN (family 9,
# whose answer comes back through eth1, and family 5), which then answer at their new addresses;
# with eth1 down the first LAN is still searched.
#   two_lans_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 SIM=$3
HERE=$(cd "$(dirname "$0")" && pwd)
export KV_PREFIX=${KV_PREFIX:-kv2lan}
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$SIM"
e2e_lock 60

WORK=$(mktemp -d /tmp/kestrova-e2e-2lan.XXXXXX)
cleanup() {
  stop_pidfile "$WORK/cam1.pid"
  stop_pidfile "$WORK/cam2.pid"
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$VLAN" down >/dev/null 2>&1
bash "$VLAN" up --two-lans >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up --two-lans"; exit 1; }

start_cams() {  # start_cams NAMESPACE-SIDE CONFIG TAG
  bash "$VLAN" exec "$1" "$SIM" --config "$2" --iface eth0 --no-tcp --log "$WORK/$3.log" \
    --pidfile "$WORK/$3.pid" >"$WORK/$3.out" 2>&1 &
  for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/$3.out" && return 0; sleep 0.1; done
  cat "$WORK/$3.out"; echo "FAIL: simulator $3 did not start"; exit 1
}
# The UDP families of the example LAN: without the family-4 camera, whose closed SDK searches on
# its own terms.
sed '/^\[hallway\]/,$d' "$SRC/sim/camsim/examples/lan.conf" >"$WORK/lan1.conf"
cp "$HERE/second_lan.conf" "$WORK/lan2.conf"
start_cams cam "$WORK/lan1.conf" cam1
start_cams cam2 "$WORK/lan2.conf" cam2

fail=0
# MAC|address, of both LANs.
cams=(
  "MOI0A1B2C3D4|192.168.1.88" "00216B102030|192.168.0.102" "001e2f405060|192.168.0.103"
  "00:1A:2B:3C:4D:5E|192.168.0.104"
  "MOI0A1B2C3FF|10.20.1.88" "00216B10203F|10.20.0.102" "001e2f40506f|10.20.0.103"
  "00:1A:2B:3C:4D:5F|10.20.0.104"
)
listed() {  # listed JSONFILE MAC ADDRESS
  grep -F "\"MAC\": \"$2\"" "$1" | grep -qF "\"IP\": \"$3\""
}
# Two rounds: the first round's answers, and the second for a family-8 camera's follow-ups.
bash "$VLAN" pc "$CLI" discover --seconds 2 --json >"$WORK/disc.json" 2>"$WORK/disc.err"
for c in "${cams[@]}"; do
  IFS='|' read -r mac addr <<<"$c"
  if listed "$WORK/disc.json" "$mac" "$addr"; then
    echo "ok: $mac found at $addr"
  else
    echo "FAIL: $mac not found at $addr"; fail=1
  fi
done
[ $fail = 0 ] || { cat "$WORK/disc.json" "$WORK/disc.err"; exit 1; }

# family|MAC|new address|extra options, cameras of the second LAN.
cases=(
  "9|00:1A:2B:3C:4D:5F|10.20.0.150|"
  "5|00216B10203F|10.20.0.151|--password vemra"
)
for c in "${cases[@]}"; do
  IFS='|' read -r fam mac addr extra <<<"$c"
  # shellcheck disable=SC2086
  if ! bash "$VLAN" pc "$CLI" set-ip --mac "$mac" --ip "$addr" --mask 255.255.255.0 --gateway 10.20.0.1 \
      --seconds 3 $extra >"$WORK/set-$fam.out" 2>&1; then
    cat "$WORK/set-$fam.out"; echo "FAIL: family $fam: set-ip did not succeed"; fail=1; continue
  fi
  found=0
  for _ in 1 2 3; do
    bash "$VLAN" pc "$CLI" discover --seconds 3 --json >"$WORK/after-$fam.json" 2>&1
    if listed "$WORK/after-$fam.json" "$mac" "$addr"; then found=1; break; fi
  done
  if [ $found = 1 ]; then
    echo "ok: family $fam ($mac) of the second LAN answers at $addr"
  else
    cat "$WORK/set-$fam.out" "$WORK/after-$fam.json"; echo "FAIL: family $fam ($mac) not listed at $addr"; fail=1
  fi
done
[ $fail = 0 ] || { tail -n 40 "$WORK/cam2.log"; exit 1; }

# The second adapter goes down (cable unplugged): the first LAN is still searched.
ip -n "${KV_PREFIX}-pc" link set eth1 down
if bash "$VLAN" pc "$CLI" discover --seconds 2 --json >"$WORK/down.json" 2>&1; then
  for c in "${cams[@]:0:4}"; do
    IFS='|' read -r mac addr <<<"$c"
    listed "$WORK/down.json" "$mac" "$addr" || { echo "FAIL: $mac not found with eth1 down"; fail=1; }
  done
  if grep -qF '"IP": "10.20.' "$WORK/down.json"; then echo "FAIL: a camera of the second LAN with eth1 down"; fail=1; fi
else
  echo "FAIL: discover failed with eth1 down"; fail=1
fi
[ $fail = 0 ] || { cat "$WORK/down.json"; exit 1; }
echo "ok: with the second adapter down the first LAN is still searched"
echo "PASS"
