#!/usr/bin/env bash
# Cross-builds the Windows side (scripts/build-windows.sh) and runs its tests as Windows
# executables under wine64: the core's unit tests and the net layer's loopback integration
# tests. Where wine cannot run at all, says so in one line and ends without failing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
WINE=/usr/lib/wine/wine64
command -v wine64 >/dev/null 2>&1 && WINE=$(command -v wine64)
# A wine prefix of the build's own, so that nothing outside build-windows/ is touched; no
# add-on installers (they would try to download), no debug chatter.
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
probe=build-windows/tests/unit/text/text_unit.exe
if ! timeout 120 "$WINE" "$probe" --gtest_list_tests >/dev/null 2>&1; then
  echo "Windows tests skipped: wine64 cannot run Windows programs on this machine"
  exit 0
fi
ctest --test-dir build-windows --output-on-failure -j"$(nproc)" --timeout 300
