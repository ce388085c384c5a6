#!/usr/bin/env bash
# kestrova-cli routers, router-update and port-map in a virtual LAN of their own (KV_PREFIX,
# default kvrtr). The router namespace (LAN 192.168.0.1, public 203.0.113.1) runs
# kestrova-routersim with a forwarding table and its administrator's login; the vendor's
# namespace (203.0.113.10) serves the download site with the router list and the sample
# plug-in. The program folder starts empty: the list is downloaded by the first command, the
# plug-in by router-update, and port-map then changes the router's table through it.
#   router_e2e.sh SOURCE_DIR KESTROVA_CLI KESTROVA_ROUTERSIM SAMPLE_PLUGIN
# Exit status: 0 passed, 1 failed, 77 skipped (not root, tools missing, LAN busy).
set -uo pipefail
SRC=$1 CLI=$2 ROUTERSIM=$3 PLUGIN=$4
export KV_PREFIX=${KV_PREFIX:-kvrtr}
export KESTROVA_TIME_SCALE=${KESTROVA_TIME_SCALE:-0.1}
export KV_VENDOR_ADDR=203.0.113.10/24
export KV_CAM_ADDRS="192.168.0.102/24"

. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$CLI" "$ROUTERSIM"
command -v sha256sum >/dev/null || skip "sha256sum missing"
[ -f "$PLUGIN" ] || skip "$PLUGIN not built"
e2e_lock

WORK=$(mktemp -d /tmp/kestrova-e2e-router.XXXXXX)
cleanup() {
  for p in router site; do stop_pidfile "$WORK/$p.pid"; done
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

# The router: a web server's forwarding on public port 81, and a game console's (invalid) one.
printf 'web 192.168.0.50 81 81 TCP valid\nconsole 192.168.0.23 27015 27015 UDP invalid\n' >"$WORK/table.txt"
"$VLAN" exec router "$ROUTERSIM" --listen 192.168.0.1:80 --password rpw --table "$WORK/table.txt" \
  --state "$WORK/router.state" --log "$WORK/router.log" --pidfile "$WORK/router.pid" >"$WORK/router.out" 2>&1 &
wait_ready "$WORK/router.out" "routersim: ready" || { echo "FAIL: the router did not start"; exit 1; }

# The download site: the list names the sample plug-in with its digest.
mkdir -p "$WORK/site" "$WORK/prog"
cp "$PLUGIN" "$WORK/site/sample.so"
site_list() {  # site_list VERSION DIGEST
  printf '[Router]\r\nCount=1\r\nRenName1=Sample router\r\nRcnName1=示例路由器\r\nRb5Name1=範例路由器\r\nRplName1=Przykładowy router\r\nRkrName1=예제 공유기\r\nrpath1=sample.so\r\nVersion1=%s\r\nsha2561=%s\r\n' \
    "$1" "$2" >"$WORK/site/Router.txt.tmp"
  mv -f "$WORK/site/Router.txt.tmp" "$WORK/site/Router.txt"
}
SHA=$(sha256sum "$WORK/site/sample.so" | cut -d' ' -f1)
site_list 1.0.0.1 "$SHA"
"$VLAN" exec vendor "$ROUTERSIM" --listen 203.0.113.10:808 --site "$WORK/site" --log "$WORK/site.log" \
  --pidfile "$WORK/site.pid" >"$WORK/site.out" 2>&1 &
wait_ready "$WORK/site.out" "routersim: ready" || { echo "FAIL: the download site did not start"; exit 1; }
printf '[Setup]\r\nRouterUrl=http://203.0.113.10:808/router/Router.txt\r\nDownDllURL=http://203.0.113.10:808/router/\r\n' \
  >"$WORK/prog/Config.ini"

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
  "$VLAN" pc env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
    KESTROVA_PROGRAM_DIR="$WORK/prog" "$CLI" "$@" >"$WORK/got.$n" 2>"$WORK/err.$n"
  local got=$?
  if [ "$got" = "$want" ] && diff -u "$WORK/want.$n" "$WORK/got.$n" >"$WORK/diff.$n"; then
    echo "ok: $name: exit $got"
  else
    echo "FAIL: $name: exit $got (want $want)"
    cat "$WORK/diff.$n" "$WORK/err.$n"
    fail=1
  fi
}
state_is() {  # state_is NAME LINES...: the router's table
  local name=$1; shift
  printf '%s\n' "$@" >"$WORK/want.state"
  if diff -u "$WORK/want.state" "$WORK/router.state" >"$WORK/diff.state"; then
    echo "ok: $name: the router's table"
  else
    echo "FAIL: $name: the router's table"; cat "$WORK/diff.state"; fail=1
  fi
}
T=$'\t'
WEB="web 192.168.0.50 81 81 TCP valid"
CONSOLE="console 192.168.0.23 27015 27015 UDP invalid"
MAP=(--router 1 --router-user admin --router-password rpw --gateway 192.168.0.1)

# ---- the list and the plug-in from the download site ------------------------------------------
expect "routers: the list is downloaded" 0 "1${T}1${T}Sample router${T}sample.so${T}" -- routers
[ -f "$WORK/prog/Router/Router.ini" ] || { echo "FAIL: no Router/Router.ini"; fail=1; }
expect "routers in Simplified Chinese" 0 "1${T}1${T}示例路由器${T}sample.so${T}" -- routers --lang cn
expect "port-map without the plug-in" 3 \
  "IDS_DLL_NOTFOUND${T}Configuration revelant procedures have not been found, please download!" -- \
  port-map "${MAP[@]}" --map 192.168.0.102:81
expect "router-update declined" 4 "IDS_DOWNLOAD_INFO${T}There is no new version,whether to upgrade it?" -- \
  router-update --router 1
[ -f "$WORK/prog/Router/sample.so" ] && { echo "FAIL: a declined download installed the plug-in"; fail=1; }
expect "router-update --yes" 0 "IDS_DOWNLOAD_DLL_OK${T}The router plug-in has been downloaded." -- \
  router-update --router 1 --yes
cmp -s "$WORK/prog/Router/sample.so" "$PLUGIN" || { echo "FAIL: the plug-in is not the site's"; fail=1; }
expect "routers with the installed version" 0 "1${T}1${T}Sample router${T}sample.so${T}1.0.0.1" -- routers
expect "router-update when current" 0 "IDS_NO_NewVERSION${T}There is no the new version need to be refreshed!" -- \
  router-update --router 1 --yes
# A newer version whose file does not match the listed digest is refused; the plug-in stays.
printf 'tampered' >>"$WORK/site/sample.so"
site_list 1.0.0.2 "$SHA"
expect "router-update with a digest mismatch" 3 "IDS_DOWNLOAD_DLL_ERROR${T}Download profile information failure！" -- \
  router-update --router 1 --yes
cmp -s "$WORK/prog/Router/sample.so" "$PLUGIN" || { echo "FAIL: a refused download replaced the plug-in"; fail=1; }
[ -e "$WORK/prog/Router/sample.so.ll" ] && { echo "FAIL: a half-received plug-in was left"; fail=1; }
grep -q "GET /router/sample.so 200" "$WORK/site.log" || { echo "FAIL: the site saw no download"; cat "$WORK/site.log"; fail=1; }

# ---- the router's table through the plug-in ---------------------------------------------------
expect "port-map: wrong password" 3 "IDS_INVALID_USER${T}Router login username or password is wrong!" -- \
  port-map --router 1 --router-user admin --router-password nope --gateway 192.168.0.1 --map 192.168.0.102:81
expect "port-map: no router at the gateway" 3 \
  "IDS_GETDATA_ERROR${T}Read port mapping information error!#13#13This software may not support your router's automated configuration, you can see whether there is a new version, otherwise you need to log into the router to be add manually." -- \
  port-map --router 1 --router-user admin --router-password rpw --gateway 192.168.0.2 --map 192.168.0.102:81
expect "port-map: conflict answered no" 3 \
  "IDS_PORT_USING${T}The port you specified is already occupied, Are you sure you want to delete?" -- \
  port-map "${MAP[@]}" --map 192.168.0.102:81 --no
state_is "conflict answered no" "$WEB" "$CONSOLE"
expect "port-map: conflict without an answer" 3 \
  "IDS_PORT_USING${T}The port you specified is already occupied, Are you sure you want to delete?" -- \
  port-map "${MAP[@]}" --map 192.168.0.102:81
state_is "conflict without an answer" "$WEB" "$CONSOLE"
expect "port-map: conflict answered yes, two ports" 0 "IDS_PORTFORWARD_OK${T}The port mapping is set up successfully！" -- \
  port-map "${MAP[@]}" --map 192.168.0.102:81 --map 192.168.0.102:554 --yes
state_is "conflict answered yes" "$CONSOLE" "192.168.0.102:81 192.168.0.102 81 81 TCP valid" \
  "192.168.0.102:554 192.168.0.102 554 554 TCP valid"
expect "port-map: already there, in Polish" 0 "IDS_PORTFORWARD_OK${T}Przekierowanie portów zostało ustawione pomyślnie!" -- \
  port-map "${MAP[@]}" --map 192.168.0.102:81 --lang pl
state_is "already there" "$CONSOLE" "192.168.0.102:81 192.168.0.102 81 81 TCP valid" \
  "192.168.0.102:554 192.168.0.102 554 554 TCP valid"

[ "$fail" = 0 ] && echo "PASS" || { echo "--- router log"; cat "$WORK/router.log"; }
exit $fail
