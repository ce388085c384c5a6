#!/usr/bin/env bash
# Runs the discovery end-to-end driver inside a freshly built virtual LAN and always tears the
# LAN down. Exit 77 (skipped) without root or without network namespaces.
# KV_UP_ARGS: options for "vlan.sh up" (e.g. --no-routes), also handed to the driver.
set -uo pipefail
DRIVER=$1; shift
HERE=$(cd "$(dirname "$0")" && pwd)
VLAN=$HERE/../../../tools/vlan/vlan.sh

if [ "$(id -u)" -ne 0 ]; then echo "SKIP: needs root (network namespaces)"; exit 77; fi
if ! command -v ip >/dev/null 2>&1; then echo "SKIP: iproute2 (ip) is missing"; exit 77; fi
probe=kv-probe-$$
if ! ip netns add "$probe" 2>/dev/null; then echo "SKIP: network namespaces are not available here"; exit 77; fi
ip netns del "$probe" 2>/dev/null || true

# A LAN of its own, next to any other one on this machine.
export KV_PREFIX=${KV_PREFIX:-kvdisc}
# Ours for the whole run (another copy of this test waits); vlan.sh takes the same lock
# through KV_LOCK_FD.
exec 9>>"$(bash "$VLAN" lockfile)"
flock -w 60 9 || { echo "SKIP: virtual LAN $KV_PREFIX busy"; exit 77; }
export KV_LOCK_FD=9
trap 'bash "$VLAN" down >/dev/null 2>&1' EXIT
bash "$VLAN" down >/dev/null 2>&1 || true
# shellcheck disable=SC2086
bash "$VLAN" up ${KV_UP_ARGS:-} || { echo "FAIL: the virtual LAN did not come up"; exit 1; }
KV_VLAN=$VLAN KV_UP_ARGS=${KV_UP_ARGS:-} "$DRIVER" "$@"
