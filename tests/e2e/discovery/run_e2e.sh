#!/usr/bin/env bash
# Runs the discovery end-to-end driver inside a freshly built virtual LAN and always tears the
# LAN down. Exit 77 (skipped) without root or without network namespaces.
# KV_UP_ARGS: options for "vlan.sh up" (e.g. --no-routes), also handed to the driver.
set -uo pipefail
DRIVER=$1; shift
SRC=$(cd "$(dirname "$0")/../../.." && pwd)
export KV_PREFIX=${KV_PREFIX:-kvdisc}
. "$SRC/tests/e2e/e2e_lib.sh"
e2e_require "$DRIVER"
e2e_lock 60
trap 'bash "$VLAN" down >/dev/null 2>&1' EXIT
bash "$VLAN" down >/dev/null 2>&1 || true
# shellcheck disable=SC2086
bash "$VLAN" up ${KV_UP_ARGS:-} || { echo "FAIL: the virtual LAN did not come up"; exit 1; }
KV_VLAN=$VLAN KV_UP_ARGS=${KV_UP_ARGS:-} "$DRIVER" "$@"
