#!/usr/bin/env bash
# The demo: sets up a fresh Debian 12 machine, builds, brings up the virtual LAN with one
# simulated camera of every family, opens the assistant in advanced mode inside it, then walks
# the easy mode for the camera that lies in another subnet.
#
#   bash scripts/demo.sh          (as root: the virtual LAN is made of network namespaces)
#
# With a display the window opens and the demo ends when it is closed. Without one ($DISPLAY
# empty) the assistant runs under Xvfb, a picture of the advanced window listing the cameras
# is saved to out/demo-advanced.png, and the cameras found are printed. Then the easy mode runs
# offscreen for the family-2 camera at 192.168.1.88: pictures of the device selection
# (out/demo-wizard-devlist.png) and of the finished address step, with the camera moved into
# the PC's subnet (out/demo-wizard-setip.png); its waits are scaled by KESTROVA_TIME_SCALE. The
# virtual LAN is torn down at the end in every case.
#
# Environment: KESTROVA_BUILD_DIR (default build), KESTROVA_DEMO_OUT (default out),
# KESTROVA_DEMO_WAIT (seconds before the picture, default 6), KESTROVA_TIME_SCALE (the easy
# mode's waits, default 0.1 here).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh: run as root (the virtual LAN is built from network namespaces): sudo bash scripts/demo.sh" >&2
  exit 1
fi

bash scripts/install-deps.sh

BUILD=${KESTROVA_BUILD_DIR:-build}
OUT=${KESTROVA_DEMO_OUT:-out}
WAIT=${KESTROVA_DEMO_WAIT:-6}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j"$(nproc)" --target kestrova kestrova-cli kestrova-camsim kestrova-vendorsim kestrova_wizard_demo

APP=$ROOT/$BUILD/src/ui/kestrova
CLI=$ROOT/$BUILD/src/cli/kestrova-cli
WIZARD=$ROOT/$BUILD/tests/e2e/wizard/kestrova_wizard_demo
SIM=$ROOT/$BUILD/sim/camsim/kestrova-camsim
VENDOR=$ROOT/$BUILD/sim/vendor/kestrova-vendorsim
VENDOR_CONF=$ROOT/sim/vendor/examples/vendor.conf
VLAN=$ROOT/tools/vlan/vlan.sh
CONF=$ROOT/sim/camsim/examples/lan.conf
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

RUN=$(mktemp -d /tmp/kestrova-demo.XXXXXX)
SIM_PID=""
VENDOR_PID=""
cleanup() {
  set +e
  for pid in $SIM_PID $VENDOR_PID; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  bash "$VLAN" down
  rm -rf "$RUN"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== virtual LAN with the vendor's DDNS service"
# The example cameras carry the DDNS server name ddns.example.net: the PC side resolves it,
# and the deployment's own names, to the vendor namespace.
KV_VENDOR_EXTRA_NAMES="ddns.example.net user.example.net" bash "$VLAN" up --vendor
bash "$VLAN" status || true

echo "== simulated cameras ($CONF)"
bash "$VLAN" cam "$SIM" --config "$CONF" --iface eth0 --log "$OUT/demo-camsim.log" > "$RUN/camsim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 100); do
  grep -q "camsim: ready" "$RUN/camsim.out" 2>/dev/null && break
  kill -0 "$SIM_PID" 2>/dev/null || { cat "$RUN/camsim.out" >&2; echo "demo.sh: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
grep -q "camsim: ready" "$RUN/camsim.out" || { cat "$RUN/camsim.out" >&2; echo "demo.sh: the simulator is not ready" >&2; exit 1; }
grep "camsim: camera" "$RUN/camsim.out" || true

echo "== vendor DDNS service ($VENDOR_CONF)"
bash "$VLAN" exec vendor "$VENDOR" --config "$VENDOR_CONF" --log "$OUT/demo-vendorsim.log" > "$RUN/vendorsim.out" 2>&1 &
VENDOR_PID=$!
for _ in $(seq 100); do
  grep -q "vendorsim: ready" "$RUN/vendorsim.out" 2>/dev/null && break
  kill -0 "$VENDOR_PID" 2>/dev/null || break
  sleep 0.1
done
grep -q "vendorsim: ready" "$RUN/vendorsim.out" || { cat "$RUN/vendorsim.out" >&2; echo "demo.sh: the vendor service did not start (the Check button will report it)" >&2; }

# A private home for this run: the assistant starts in advanced mode.
mkdir -p "$RUN/home/.config/kestrova" "$RUN/runtime"
chmod 700 "$RUN/runtime"
printf '[DevFind]\r\nadvmode=1\r\n' > "$RUN/home/.config/kestrova/option.ini"
APP_ENV=(HOME="$RUN/home" XDG_CONFIG_HOME="$RUN/home/.config" KESTROVA_DISCOVERY=live)

if [ -z "${DISPLAY:-}" ]; then
  SHOT=$OUT/demo-advanced.png
  rm -f "$SHOT"
  echo "== assistant under Xvfb (no display); picture after ${WAIT} s"
  bash "$VLAN" pc env "${APP_ENV[@]}" XDG_RUNTIME_DIR="$RUN/runtime" QT_QPA_PLATFORM=xcb \
    KESTROVA_SCREENSHOT="$SHOT" KESTROVA_SCREENSHOT_DELAY_MS=$((WAIT * 1000)) KESTROVA_SCREENSHOT_QUIT=1 \
    timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$APP"
  [ -s "$SHOT" ] || { echo "demo.sh: no picture was saved" >&2; exit 1; }
  echo "picture of the advanced window: $SHOT"
else
  echo "== assistant on $DISPLAY (close its window to end the demo)"
  XAUTH=${XAUTHORITY:-}
  if [ -z "$XAUTH" ] && [ -n "${SUDO_USER:-}" ]; then XAUTH=$(getent passwd "$SUDO_USER" | cut -d: -f6)/.Xauthority; fi
  [ -n "$XAUTH" ] || XAUTH=$HOME/.Xauthority
  bash "$VLAN" pc env "${APP_ENV[@]}" XDG_RUNTIME_DIR="$RUN/runtime" \
    DISPLAY="$DISPLAY" XAUTHORITY="$XAUTH" QT_QPA_PLATFORM=xcb "$APP" || true
fi

echo "== easy mode: the wizard moves the camera at 192.168.1.88 into the PC's subnet"
# The PC of a home LAN has a default gateway, which the camera is given; the camera's old subnet
# and the vendor's stay on the link.
bash "$VLAN" pc ip route replace default via 192.168.0.1 dev eth0 onlink
bash "$VLAN" pc ip route replace 192.168.1.0/24 dev eth0
bash "$VLAN" pc ip route replace 203.0.113.0/24 dev eth0
bash "$VLAN" pc env "${APP_ENV[@]}" XDG_RUNTIME_DIR="$RUN/runtime" QT_QPA_PLATFORM=offscreen \
  KESTROVA_TIME_SCALE="${KESTROVA_TIME_SCALE:-0.1}" timeout 300 "$WIZARD" --family 2 --out "$OUT" ||
  { echo "demo.sh: the easy mode did not finish" >&2; exit 1; }

echo "== cameras found from the PC side (kestrova-cli discover)"
bash "$VLAN" pc "$CLI" discover --seconds 3
