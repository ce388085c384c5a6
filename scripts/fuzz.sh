#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang, AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each for a while over a copy of its seed corpus (the committed corpus is never changed).
#   bash scripts/fuzz.sh [seconds-per-fuzzer]     (default 60; CI runs a short smoke run)
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-60}
BUILD=${KESTROVA_FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTROVA_FUZZ=ON -DKESTROVA_BUILD_UI=OFF >/dev/null
targets=$(awk '{print $1"_fuzzer"}' "$BUILD/fuzzers.txt")
[ -n "$targets" ] || { echo "no fuzzers"; exit 0; }
# shellcheck disable=SC2086
cmake --build "$BUILD" -j"$(nproc)" --target $targets

# The code under test must carry the fuzzer's coverage and the sanitizers' checks, not only the
# harnesses: every library of core, net and sim that the harnesses linked is looked at.
uninstrumented=0
checked=0
for layer in src/core src/net sim; do
  while IFS= read -r lib; do
    checked=$((checked + 1))
    syms=$(nm -A "$lib" 2>/dev/null || true)
    if ! grep -q '__sanitizer_cov_' <<<"$syms" || ! grep -q '__asan_' <<<"$syms"; then
      echo "not instrumented: $lib"; uninstrumented=1
    fi
  done < <(find "$BUILD/$layer" -name 'lib*.a' 2>/dev/null | sort)
done
for layer in src/core sim; do
  find "$BUILD/$layer" -name 'lib*.a' 2>/dev/null | grep -q . ||
    { echo "no library of $layer was built for the fuzzers"; uninstrumented=1; }
done
if [ "$uninstrumented" -ne 0 ]; then
  echo "the fuzz build does not instrument the code under test"; exit 1
fi
echo "instrumented: $checked libraries of core, net and sim"
status=0
artifacts="$BUILD/artifacts"
mkdir -p "$artifacts"
while read -r name binary corpus; do
  [ -n "$name" ] || continue
  work=$(mktemp -d)
  echo "== $name: ${SECS}s over $corpus"
  if ! "$binary" -max_total_time="$SECS" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$work" "$corpus" > "$work.log" 2>&1; then
    echo "fuzzer $name FAILED"; tail -n 40 "$work.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work.log" | tail -n 2 || true
    grep -E '^#[0-9]+.*cov: ' "$work.log" | tail -n 1 || true
    echo "corpus units found: $(find "$work" -type f | wc -l)"
  fi
  rm -rf "$work" "$work.log"
done < "$BUILD/fuzzers.txt"
exit $status
