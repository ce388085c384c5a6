#!/usr/bin/env bash
# Inside the virtual LAN: lists the wireless networks that simulated cameras of families 2, 5
# and 9 see with kestrova-cli wifi-scan (each by its family's path), then gives one camera of
# each family 2, 5, 8, 9 and 4 (through the stand-in SDK library beside kestrova-cli) a new
# address with kestrova-cli set-ip and checks that discovery then lists it at that address.
#   set_ip_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM [CONTROL_DRIVER]
# With CONTROL_DRIVER (control_vlan_e2e) it also runs the CTP and CGI operations against the
# cameras before any address changes.
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN in use).
set -uo pipefail
SRC=$1 CLI=$2 SIM=$3 DRIVER=${4:-}
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$SIM"
if [ -n "$DRIVER" ] && [ ! -x "$DRIVER" ]; then
  echo "note: $DRIVER not built (target control_vlan_e2e): control operations not run"
  DRIVER=
fi

e2e_lock 60
"$VLAN" status >/dev/null 2>&1 && skip "virtual LAN already up (in use elsewhere)"

WORK=$(mktemp -d)
cleanup() {
  [ -f "$WORK/camsim.pid" ] && kill "$(cat "$WORK/camsim.pid")" 2>/dev/null
  sleep 0.3
  "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

"$VLAN" up >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up"; exit 1; }
cp "$SRC/sim/camsim/examples/lan.conf" "$WORK/lan.conf"
"$VLAN" cam "$SIM" --config "$WORK/lan.conf" --iface eth0 --log "$WORK/camsim.log" \
  --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/camsim.out" && break; sleep 0.1; done
grep -q "camsim: ready" "$WORK/camsim.out" || { cat "$WORK/camsim.out"; echo "FAIL: simulator did not start"; exit 1; }

fail=0
# family  MAC  options: the simulator's example cameras see "Home Net"
scans=(
  "2|MOI0A1B2C3D4|"
  "5|00216B102030|--password vemra"
  "9|00:1A:2B:3C:4D:5E|--json"
)
for c in "${scans[@]}"; do
  IFS='|' read -r fam mac extra <<<"$c"
  # shellcheck disable=SC2086
  if "$VLAN" pc "$CLI" wifi-scan --mac "$mac" --seconds 3 $extra >"$WORK/scan-$fam.out" 2>&1 &&
     grep -q "Home Net" "$WORK/scan-$fam.out"; then
    echo "ok: family $fam ($mac) scan lists Home Net"
  else
    cat "$WORK/scan-$fam.out"; echo "FAIL: family $fam ($mac) wifi-scan"; fail=1
  fi
done

if [ -n "$DRIVER" ]; then
  if "$VLAN" pc env KESTROVA_VLAN_PC=1 "$DRIVER" >"$WORK/driver.out" 2>&1; then
    echo "ok: control operations ($(grep -c '^\[       OK' "$WORK/driver.out") tests)"
  else
    cat "$WORK/driver.out"; echo "FAIL: control operations"; fail=1
  fi
fi

# family  MAC              new address     extra options
cases=(
  "2|MOI0A1B2C3D4|192.168.0.152|"
  "5|00216B102030|192.168.0.151|--password vemra"
  "8|001e2f405060|192.168.0.153|"
  "9|00:1A:2B:3C:4D:5E|192.168.0.150|"
  "4|00408c5a6b7c|192.168.0.155|"
)
for c in "${cases[@]}"; do
  IFS='|' read -r fam mac addr extra <<<"$c"
  # shellcheck disable=SC2086
  if ! "$VLAN" pc "$CLI" set-ip --mac "$mac" --ip "$addr" --mask 255.255.255.0 --gateway 192.168.0.1 \
      --seconds 3 $extra >"$WORK/set-$fam.out" 2>&1; then
    cat "$WORK/set-$fam.out"; echo "FAIL: family $fam: set-ip exited $?"; fail=1; continue
  fi
  found=0
  for _ in 1 2 3; do
    "$VLAN" pc "$CLI" discover --seconds 3 --json >"$WORK/disc-$fam.json" 2>&1
    if grep -F "\"MAC\": \"$mac\"" "$WORK/disc-$fam.json" | grep -qF "\"IP\": \"$addr\""; then found=1; break; fi
  done
  if [ $found = 1 ]; then
    echo "ok: family $fam ($mac) answers at $addr"
  else
    cat "$WORK/set-$fam.out" "$WORK/disc-$fam.json"; echo "FAIL: family $fam ($mac) not listed at $addr"; fail=1
  fi
done
[ $fail = 0 ] || { tail -n 40 "$WORK/camsim.log"; exit 1; }
echo "PASS"
