#!/usr/bin/env bash
# Cross-builds the engine, the command line and their tests for Windows into build-windows/
# with Debian's mingw-w64 toolchain; the tests run under wine64 (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# Only what the cross-build needs: the Linux build's own packages stay in install-deps.sh.
PKGS=(cmake make g++-mingw-w64-x86-64-posix wine64 libgtest-dev libgmock-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
JOBS="${KESTROVA_JOBS:-2}"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKESTROVA_BUILD_UI=OFF
cmake --build build-windows -j"$JOBS"
