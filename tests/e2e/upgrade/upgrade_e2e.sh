#!/usr/bin/env bash
# kestrova-cli upgrade in a virtual LAN of its own (KV_PREFIX, default kvupg): one camera of each
# family that takes an upgrade gets a file chosen for it; the simulated camera must hold the
# exact bytes (a PK2 package: descrambled and MD5-verified) and come back, and the command must
# say so and end with status 0. A camera that never comes back, one that answers an error
# status and a file that does not suit the camera end with their own status and message.
#   upgrade_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 CAMSIM=$3
VLAN="$SRC/tools/vlan/vlan.sh"
export KV_PREFIX=${KV_PREFIX:-kvupg}
export KESTROVA_TIME_SCALE=${KESTROVA_TIME_SCALE:-0.05}
export KV_CAM_ADDRS="192.168.0.102/24 192.168.0.103/24 192.168.0.104/24 192.168.0.105/24 192.168.0.106/24 192.168.0.107/24 192.168.0.108/24"

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root for the virtual LAN"
command -v ip >/dev/null || skip "iproute2 missing"
command -v flock >/dev/null || skip "flock missing"
for exe in "$CLI" "$CAMSIM"; do [ -x "$exe" ] || skip "$exe not built"; done
probe=${KV_PREFIX}-probe-$$
ip netns add "$probe" 2>/dev/null || skip "network namespaces are not available here"
ip netns del "$probe" 2>/dev/null

exec 9>>"$(bash "$VLAN" lockfile)"
flock -w 600 9 || skip "virtual LAN $KV_PREFIX busy"
export KV_LOCK_FD=9

WORK=$(mktemp -d /tmp/kestrova-e2e-upgrade.XXXXXX)
cleanup() {
  if [ -f "$WORK/camsim.pid" ]; then
    pid=$(cat "$WORK/camsim.pid")
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  bash "$VLAN" down >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash "$VLAN" down >/dev/null 2>&1
bash "$VLAN" up >"$WORK/vlan.log" 2>&1 || { cat "$WORK/vlan.log"; echo "FAIL: vlan up"; exit 1; }

cat >"$WORK/cams.conf" <<'CAMS'
[porch]
family = 2
identity = MOI0A1B2C3E6
name = Porch
ip = 192.168.0.102
http_port = 80
user = admin
pwd =
restart_ms = 1500

[garage]
family = 5
mac = 00:21:6B:10:20:40
name = Garage
ip = 192.168.0.103
http_port = 81
pwd = vemra
restart_ms = 1500
pk2_key = 5A3C960FA5C369F0

[yard]
family = 8
mac = 00:1e:2f:40:50:61
name = Yard
ip = 192.168.0.104
http_port = 80
user = admin
pwd = secret8
restart_ms = 1500

[office]
family = 9
mac = 00:1A:2B:3C:4D:70
name = Office
version = 48.2.0.7
ip = 192.168.0.105
http_port = 81
user = admin
pwd = 123456
restart_ms = 1500

[lobby]
family = 9
mac = 00:1A:2B:3C:4D:71
name = Lobby
version = 84.2.0.121
ip = 192.168.0.106
http_port = 80
user = admin
pwd = 123456
restart_ms = 1500

[shed]
family = 5
mac = 00:21:6B:10:20:41
name = Shed
ip = 192.168.0.107
http_port = 80
pwd = vemra
restart_ms = 500
upgrade_return = never

[attic]
family = 8
mac = 00:1e:2f:40:50:62
name = Attic
ip = 192.168.0.108
http_port = 80
user = admin
pwd = secret8
fault = http_error
CAMS

mkdir -p "$WORK/uploads"
"$VLAN" cam "$CAMSIM" --config "$WORK/cams.conf" --iface eth0 --log "$WORK/camsim.log" \
  --upload-dir "$WORK/uploads" --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/camsim.out" 2>/dev/null && break; sleep 0.1; done
grep -q "camsim: ready" "$WORK/camsim.out" || { cat "$WORK/camsim.out"; echo "FAIL: the camera simulator did not start"; exit 1; }

# Files: firmware of each kind for each family, a PK2 package of three records (a 200 KiB
# file, a record of another tag, a command) with its plain file beside it.
head -c 200000 /dev/urandom >"$WORK/plain.bin"
python3 - "$WORK" <<'PY'
import os, struct, sys
w = sys.argv[1]
data = open(os.path.join(w, "plain.bin"), "rb").read()
def rec(tag, payload): return tag + b"." * 16 + struct.pack("<I", len(payload)) + payload
name = b"rootfs.img"
f = struct.pack("<I", len(name)) + name + struct.pack("<I", len(data)) + data
pkg = b"PK2\0" + b"v" * 20 + struct.pack("<I", 3) + rec(b"FILE", f) + rec(b"NOTE", b"skipped") + rec(b"CMD ", b"sync")
open(os.path.join(w, "fw.pk2"), "wb").write(pkg)
open(os.path.join(w, "bad.pk2"), "wb").write(pkg[:-3])
open(os.path.join(w, "f2.bin"), "wb").write(b"BNEG" + data[:50000])
open(os.path.join(w, "f2web.bin"), "wb").write(b"\xbd\x9a\x0c\x44" + data[:30000])
open(os.path.join(w, "any.bin"), "wb").write(data[:80000])
PY

fail=0
# run NAME STATUS OUTPUT-TEXT -- ARGS: the command must end with STATUS and print OUTPUT-TEXT.
run() {
  local name=$1 want=$2 text=$3; shift 4
  local start=$SECONDS
  "$VLAN" pc "$CLI" upgrade "$@" >"$WORK/out" 2>"$WORK/err"
  local got=$?
  if [ "$got" = "$want" ] && { [ -z "$text" ] || grep -qF -- "$text" "$WORK/out"; }; then
    echo "ok: $name: exit $got ($((SECONDS - start)) s)"
  else
    echo "FAIL: $name: exit $got (want $want, text '$text')"
    cat "$WORK/out" "$WORK/err"
    fail=1
  fi
}
# same NAME KEPT FILE: the camera holds exactly the file's bytes.
same() {
  if cmp -s "$WORK/uploads/$2" "$3"; then echo "ok: $1 holds the exact bytes"; else echo "FAIL: $1: $2 differs from $3"; fail=1; fi
}
# back CAMERA: the camera restarted and came back.
back() {
  for _ in $(seq 100); do grep -q "camera=$1 up" "$WORK/camsim.log" && break; sleep 0.1; done
  if grep -q "camera=$1 restarting" "$WORK/camsim.log" && grep -q "camera=$1 up" "$WORK/camsim.log"; then
    echo "ok: $1 restarted and came back"
  else
    echo "FAIL: $1 did not restart and come back"; fail=1
  fi
}

run "porch firmware" 0 "IDS_UPGRADESUCC" -- --mac MOI0A1B2C3E6 --file "$WORK/f2.bin"
same porch porch-firmware.bin "$WORK/f2.bin"; back porch
run "porch web pages refuse firmware" 3 "IDS_ERRFILE" -- --mac MOI0A1B2C3E6 --web-pages --file "$WORK/f2.bin"
run "garage package" 0 "outcome: upgraded" -- --mac 00216B102040 --file "$WORK/fw.pk2"
grep -q "progress: sent 200004 of 200004 bytes, record 3 of 3" "$WORK/err" || { echo "FAIL: garage progress"; cat "$WORK/err"; fail=1; }
same garage garage-pk2-rootfs.img.bin "$WORK/plain.bin"; back garage
grep -q "pk2 cam=garage .*file rootfs.img complete, digest matches" "$WORK/camsim.log" || { echo "FAIL: garage digest"; fail=1; }
run "garage truncated package" 3 "IDS_ERRFILE" -- --mac 00216B102040 --file "$WORK/bad.pk2"
run "yard web pages" 0 "IDS_UPGRADESUCC" -- --mac 001e2f405061 --password secret8 --web-pages --file "$WORK/any.bin"
same yard yard-htmls.bin "$WORK/any.bin"; back yard
run "office firmware (older version: its own port)" 0 "IDS_UPGRADESUCC" -- --mac 00:1A:2B:3C:4D:70 --file "$WORK/any.bin"
same office office-firmware.bin "$WORK/any.bin"; back office
run "lobby web pages (newer version: the upload port)" 0 "IDS_UPGRADESUCC" -- --mac 00:1A:2B:3C:4D:71 --web-pages --file "$WORK/f2web.bin"
same lobby lobby-htmls.bin "$WORK/f2web.bin"; back lobby
run "shed never comes back" 2 "IDS_UPGRADENOTBACK" -- --mac 00216B102041 --file "$WORK/fw.pk2"
grep -q "camera=shed upgraded; never comes back" "$WORK/camsim.log" || { echo "FAIL: shed"; fail=1; }
run "attic answers an error status" 2 "detail: HTTP 500" -- --mac 001e2f405062 --password secret8 --file "$WORK/any.bin"
run "no such camera" 1 "" -- --mac 00:99:99:99:99:99 --file "$WORK/any.bin"

if [ "$fail" != 0 ]; then
  echo "--- camsim log"; tail -n 60 "$WORK/camsim.log"
  exit 1
fi
echo "PASS"
