#!/usr/bin/env bash
# Runs a screenshot tool the way it runs by hand on a display, where discovery would start
# (KESTROVA_DISCOVERY=live), and expects it to render without starting discovery: the tool
# checks that itself and fails otherwise. It runs in a network namespace of its own with no
# interface up, so that even a tool that did start discovery could not reach any network.
# Exit 77 (skipped) where no such namespace can be made.
set -u
TOOL=$1; OUT=$2
if ! unshare --net true 2>/dev/null; then echo "SKIP: a private network namespace is not available here"; exit 77; fi
exec unshare --net env KESTROVA_DISCOVERY=live QT_QPA_PLATFORM=offscreen "$TOOL" "$OUT"
