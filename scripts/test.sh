#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds from scratch and runs every test (as root: the
# end-to-end tests build a virtual LAN of network namespaces).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${KESTROVA_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j"$(nproc)"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 600
