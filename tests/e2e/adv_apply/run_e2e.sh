#!/usr/bin/env bash
# Runs the advanced-window Apply driver inside a freshly built virtual LAN and always tears the
# LAN down. Exit 77 (skipped) without root or without network namespaces.
set -uo pipefail
DRIVER=$1; shift
SRC=$(cd "$(dirname "$0")/../../.." && pwd)
# A LAN of its own, next to any other one on this machine.
export KV_PREFIX=${KV_PREFIX:-kvadv}
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$DRIVER"
e2e_lock 60
trap 'bash "$VLAN" down >/dev/null 2>&1' EXIT
bash "$VLAN" down >/dev/null 2>&1 || true
bash "$VLAN" up || { echo "FAIL: the virtual LAN did not come up"; exit 1; }
KV_VLAN=$VLAN "$DRIVER" "$@"
