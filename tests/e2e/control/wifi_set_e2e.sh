#!/usr/bin/env bash
# kestrova-cli wifi-set end to end in a virtual LAN of its own (KV_PREFIX, default kvwifi): for
# a camera of each of the families 2, 5, 8 and 9 the command scans, picks the network, sends the
# settings by the family's path and waits until the camera, restarted, comes back over its
# wireless network; the requests the camera received are checked in the simulator's log. Then
# the other ends: 1 no such camera or network (nothing sent), 2 a camera that cannot be reached,
# 3 accepted but never back; and names and keys with blanks, '&', '#', '%' and non-ASCII bytes
# reach the camera as typed. Each case runs its own simulator.
#   wifi_set_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_CAMSIM
# The waits are scaled by KESTROVA_TIME_SCALE (default here 0.1).
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 SIM=$3
export KV_PREFIX=${KV_PREFIX:-kvwifi}
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

start_sim() {
  stop_sim
  : >"$WORK/camsim.out"
  : >"$WORK/camsim.log"
  bash "$VLAN" cam "$SIM" --config "$WORK/$1.conf" --iface eth0 --log "$WORK/camsim.log" \
    --pidfile "$WORK/camsim.pid" >"$WORK/camsim.out" 2>&1 &
  for _ in $(seq 100); do grep -q "camsim: ready" "$WORK/camsim.out" && return 0; sleep 0.1; done
  cat "$WORK/camsim.out"
  return 1
}

# The networks every camera sees: a WPA2-PSK AES one, an open one, one with a name full of
# characters a query must carry as data, and one of a kind the program cannot set.
SCANS='scan1 = Home Net|00:11:22:33:44:55|1|0|2|2|78
scan2 = Cafe|00:11:22:33:44:66|0|0|0|0|41
scan3 = Caf&é #5 %20x|00:11:22:33:44:77|1|0|2|2|60
scan4 = Odd|00:11:22:33:44:88|1|0|2|2|50|6|6
wifi_join_key = homekey123
restart_ms = 800
'
# camera NAME FAMILY ID EXTRA-LINES
camera() {
  local name=$1 fam=$2 id=$3 extra=$4 key=mac
  [ "$fam" = 2 ] && key=identity
  printf '[%s]\nfamily = %s\n%s = %s\nname = %s\nip = 192.168.0.%s\nmask = 255.255.255.0\ngateway = 192.168.0.1\n%s%b' \
    "$name" "$fam" "$key" "$id" "$name" "$((100 + fam))" "$SCANS" "$extra" >"$WORK/$name.conf"
}

fail=0
# expect NAME STATUS PATTERN... -- CLI-ARGS: runs wifi-set against the camera of NAME.conf and
# checks the exit status and that every pattern is in the output or the simulator's log.
# A pattern starting with '!' must not be there.
expect() {
  local name=$1 want=$2; shift 2
  local patterns=()
  while [ "$1" != "--" ]; do patterns+=("$1"); shift; done
  shift
  if ! start_sim "$name"; then echo "FAIL: $name: the simulator did not start"; fail=1; return; fi
  bash "$VLAN" pc "$CLI" wifi-set "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
  local got=$?
  local ok=1
  [ "$got" = "$want" ] || ok=0
  for p in "${patterns[@]}"; do
    if [ "${p:0:1}" = "!" ]; then
      grep -qF -- "${p:1}" "$WORK/$name.out" "$WORK/$name.err" "$WORK/camsim.log" && { echo "  unexpected: ${p:1}"; ok=0; }
    else
      grep -qF -- "$p" "$WORK/$name.out" "$WORK/$name.err" "$WORK/camsim.log" || { echo "  missing: $p"; ok=0; }
    fi
  done
  if [ $ok = 1 ]; then
    echo "ok: $name: exit $got"
  else
    echo "FAIL: $name: exit $got (want $want)"
    cat "$WORK/$name.out" "$WORK/$name.err"
    tail -n 30 "$WORK/camsim.log"
    fail=1
  fi
}

# web_requests NAME: the paths the camera's web server was asked for, in order.
web_requests() { grep -o "http cam=$1 web GET [^ ]*" "$WORK/camsim.log" | sed 's/.* GET //; s/?.*//'; }
expect_requests() {
  local name=$1 want=$2 got
  got=$(web_requests "$name" | paste -sd' ')
  if [ "$got" = "$want" ]; then echo "ok: $name: requests $got"; else echo "FAIL: $name: requests '$got', want '$want'"; fail=1; fi
}

# Every family joins and comes back; family 2 takes a wireless address of its own.
camera f2 2 MOI0A1B2C3D4 'http_port = 80\npwd = secret2\nwifi_ip = 192.168.0.142\n'
camera f5 5 00:21:6B:10:20:30 'sn = CTP5000123\nhttp_port = 81\npwd = vemra\nwifi_enable = 0\nwifi_ssid = Cafe\nwifi_authmode = NONE\ncable_back_ms = never\n'
camera f8 8 00:1e:2f:40:50:60 'sn = 0a0b0c0d0e0f10\nhttp_port = 80\ndata_port = 9000\npwd = secret8\n'
camera f9 9 00:1A:2B:3C:4D:5E 'sn = T9D0004\nhttp_port = 8080\nuser = admin\npwd = 123456\nwifi_key1 = 0123456789\nwifi_key1_bits = 1\n'

expect f2 0 'camera=f2 joined Home Net' 'came back: yes, at 192.168.0.142' 'wireless settings taken: ssid=Home Net encrypt=4' -- \
  --mac MOI0A1B2C3D4 --ssid 'Home Net' --key homekey123 --password secret2
expect_requests f2 '/wifi_scan.cgi /wifi_scan.cgi /get_wifi_scan_result.cgi /get_params.cgi /set_wifi.cgi /reboot.cgi'
expect f5 0 'camera=f5 joined Home Net' 'came back: yes, at 192.168.0.105' 'cmd=iwlist' 'cmd=cfgwnic' 'cmd=restart' \
  'wireless settings taken: ssid=Home Net authmode=WPA2PSK' -- --mac 00216B102030 --ssid 'Home Net' --key homekey123
expect f8 0 'camera=f8 joined Home Net' 'came back: yes, at 192.168.0.108' -- \
  --mac 001e2f405060 --ssid 'Home Net' --key homekey123 --password secret8
expect_requests f8 '/cgi-bin/wifi_scan.cgi /get_wifi_scan_result.cgi /get_params.cgi /cgi-bin/set_wifi.cgi /cgi-bin/reboot.cgi'
# Family 9: the driver's path; the WEP key the camera reported goes back unchanged.
expect f9 0 'camera=f9 joined Home Net' 'came back: yes' 'key1=0123456789&key2=&key3=&key4=&key1_bits=1' -- \
  --mac 00:1A:2B:3C:4D:5E --ssid 'Home Net' --key homekey123
expect_requests f9 '/wifi_scan.cgi /get_wifi_scan_result.cgi /get_params.cgi /set_wifi.cgi /reboot.cgi'

# Names and keys are data: the SSID arrives as typed, and a key holding "&enable=0#" neither
# switches the wireless off nor cuts the request.
camera chars 2 MOI0A1B2C3D5 'http_port = 80\npwd = secret\nwifi_join_key = k&enable=0#"%41 é\n'
expect chars 0 'wireless settings taken: ssid=Caf&é #5 %20x encrypt=4' 'camera=chars joined Caf&é #5 %20x' -- \
  --mac MOI0A1B2C3D5 --ssid 'Caf&é #5 %20x' --key 'k&enable=0#"%41 é' --password secret

# The other ends.
expect f2 1 'no camera with MAC 00:00:00:00:00:99' -- --mac 00:00:00:00:00:99 --ssid 'Home Net' --seconds 2
expect f8 1 "does not see a network named 'Elsewhere'" '!set_wifi' -- --mac 001e2f405060 --ssid Elsewhere --password secret8
expect f2 2 'cannot set' '!set_wifi' -- --mac MOI0A1B2C3D4 --ssid Odd --key homekey123 --password secret2
# The restart request goes without a login in the query; a camera whose blank password sends no
# Basic login refuses it, and that is a failure, not a camera that restarts.
camera blank 2 MOI0A1B2C3D6 'http_port = 80\n'
expect blank 2 'reboot.cgi: refused (HTTP 401)' 'restart could not be requested' '!camera=blank restarting' -- \
  --mac MOI0A1B2C3D6 --ssid 'Home Net' --key homekey123
camera broken 2 MOI0A1B2C3D4 'http_port = 80\nfault = http_error\n'
expect broken 2 'could not be reached' '!set_wifi' -- --mac MOI0A1B2C3D4 --ssid 'Home Net'
# A wrong key: the camera takes the settings, restarts and, its cable pulled, is lost.
expect f5 3 'camera=f5 lost: wrong key' 'came back: no' 'did not come back' -- \
  --mac 00216B102030 --ssid 'Home Net' --key wrongkey
camera never 9 00:1A:2B:3C:4D:5F 'sn = T9D0005\nhttp_port = 80\nuser = admin\npwd = 123456\nfault = no_rejoin\ncable_back_ms = never\n'
expect never 3 'camera=never lost: fault no_rejoin' 'came back: no' -- --mac 00:1A:2B:3C:4D:5F --ssid Cafe
# With its cable left in, a camera that cannot join is back on the wire: it came back.
camera wired 8 00:1e:2f:40:50:61 'sn = 0a0b0c0d0e0f11\nhttp_port = 80\npwd = secret8\nfault = no_rejoin\n'
expect wired 0 'camera=wired did not join: fault no_rejoin; back on the wire' 'came back: yes' -- \
  --mac 001e2f405061 --ssid 'Home Net' --key homekey123 --password secret8

[ $fail = 0 ] || exit 1
echo "PASS"
