#!/usr/bin/env bash
# Builds a virtual LAN of its own (KV_PREFIX, default kvbup; root), a family-5 and a family-8
# simulated camera and a TCP sink in the camera namespace, and runs upgrade_bench from the PC.
#   bench/upgrade/run_upgrade_bench.sh BUILD_DIR [--mib N] [--rounds N]
set -uo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:?build folder}; shift
VLAN="$SRC/tools/vlan/vlan.sh"
export KV_PREFIX=${KV_PREFIX:-kvbup}
export KV_CAM_ADDRS="192.168.0.103/24 192.168.0.104/24"
[ "$(id -u)" = 0 ] || { echo "needs root"; exit 77; }
WORK=$(mktemp -d /tmp/kestrova-upgrade-bench.XXXXXX)
cleanup() {
  [ -f "$WORK/camsim.pid" ] && kill "$(cat "$WORK/camsim.pid")" 2>/dev/null
  [ -n "${SINK:-}" ] && kill "$SINK" 2>/dev/null
  sleep 0.5
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
bash "$VLAN" down >/dev/null 2>&1
bash "$VLAN" up >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; exit 1; }
cat >"$WORK/cams.conf" <<'CAMS'
[garage]
family = 5
mac = 00:21:6B:10:20:40
ip = 192.168.0.103
http_port = 81
pwd = vemra
restart_ms = 1000
pk2_key = 5A3C960FA5C369F0

[yard]
family = 8
mac = 00:1e:2f:40:50:61
ip = 192.168.0.104
http_port = 80
user = admin
pwd = secret8
restart_ms = 1000
CAMS
"$VLAN" cam "$BUILD/sim/camsim/kestrova-camsim" --config "$WORK/cams.conf" --iface eth0 --log "$WORK/camsim.log" \
  --upload-dir "$WORK/uploads" --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
"$VLAN" cam "$BUILD/bench/upgrade/upgrade_bench" sink 9000 >"$WORK/sink.out" 2>&1 &
SINK=$!
for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/camsim.out" && grep -q "sink: ready" "$WORK/sink.out" && break; sleep 0.1; done
"$VLAN" pc "$BUILD/bench/upgrade/upgrade_bench" run --pk2 192.168.0.103:81 --http 192.168.0.104:80 \
  --sink 192.168.0.103:9000 "$@"
