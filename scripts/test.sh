#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds from scratch and runs every test (as root: the
# end-to-end tests build a virtual LAN of network namespaces; without root they are skipped).
#   1. packages (scripts/install-deps.sh)
#   2. build of everything (application, command line, simulators, tests, benchmarks)
#   3. a short smoke run of every libFuzzer harness over its seed corpus (clang, ASan, UBSan)
#   4. CTest: unit, integration, GUI (offscreen), fuzz-corpus replays and end-to-end tests
#   5. the Windows cross-build and its tests under wine64 (scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${KESTROVA_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j"$(nproc)"
bash scripts/fuzz.sh "${KESTROVA_FUZZ_SECONDS:-15}"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 60
bash scripts/test-windows.sh
