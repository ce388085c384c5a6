#!/usr/bin/env bash
# Runs the integration and end-to-end tests N times in a row, three at a time, and reports per
# round and in sum the tests that timed out and those that failed (a hang shows up as a time-out).
#   bash scripts/stress-tests.sh N [extra ctest arguments...]
# The build folder is KESTROVA_BUILD_DIR (default build); it must be built already. The ctest
# output of a round with a problem is kept (its path is printed). Exit status: 0 when every
# round passed, 1 when any test timed out or failed, 2 on bad usage.
set -uo pipefail
cd "$(dirname "$0")/.."
ROUNDS=${1:-}
[[ $ROUNDS =~ ^[1-9][0-9]*$ ]] || { echo "usage: stress-tests.sh N [ctest arguments...]" >&2; exit 2; }
shift
BUILD=${KESTROVA_BUILD_DIR:-build}
[ -f "$BUILD/CTestTestfile.cmake" ] || { echo "stress-tests.sh: no tests in $BUILD (build first)" >&2; exit 2; }

WORK=$(mktemp -d /tmp/kestrova-stress.XXXXXX)
declare -A timeouts=() failures=()  # test name -> rounds it timed out / failed in
bad_rounds=0
for round in $(seq "$ROUNDS"); do
  log=$WORK/round-$round.log
  start=$SECONDS
  ctest --test-dir "$BUILD" -j3 -L 'integration|e2e' --no-tests=error --output-on-failure "$@" >"$log" 2>&1
  rc=$?
  took=$((SECONDS - start))
  total=$(sed -n 's/.*tests passed, [0-9]* tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  # The summary at the end: "<tab>  12 - Name (Failed)", "(Timeout)", "(Not Run)", "(SEGFAULT)" ...
  t=() f=()
  while IFS= read -r line; do
    name=$(sed -E 's/^[[:space:]]*[0-9]+ - (.*) \(([^()]*)\)$/\1/' <<<"$line")
    kind=$(sed -E 's/^[[:space:]]*[0-9]+ - (.*) \(([^()]*)\)$/\2/' <<<"$line")
    if [ "$kind" = Timeout ]; then
      t+=("$name"); timeouts[$name]=$(( ${timeouts[$name]:-0} + 1 ))
    else
      f+=("$name ($kind)"); failures[$name]=$(( ${failures[$name]:-0} + 1 ))
    fi
  done < <(sed -n '/^The following tests FAILED:/,$p' "$log" | grep -E '^[[:space:]]+[0-9]+ - .* \([^()]*\)$')
  if [ $rc -ne 0 ] && [ ${#t[@]} -eq 0 ] && [ ${#f[@]} -eq 0 ]; then
    f+=("ctest itself (exit status $rc)"); failures["ctest itself"]=$(( ${failures["ctest itself"]:-0} + 1 ))
  fi
  line="round $round/$ROUNDS: ${total:-?} tests in ${took} s, ${#t[@]} timed out, ${#f[@]} failed"
  if [ ${#t[@]} -gt 0 ] || [ ${#f[@]} -gt 0 ]; then
    bad_rounds=$((bad_rounds + 1))
    echo "$line (log: $log)"
    for n in "${t[@]}"; do echo "  timed out: $n"; done
    for n in "${f[@]}"; do echo "  failed:    $n"; done
  else
    echo "$line"
    rm -f "$log"
  fi
done

echo "== $ROUNDS rounds: $bad_rounds with problems, ${#timeouts[@]} tests timed out, ${#failures[@]} failed"
for n in "${!timeouts[@]}"; do echo "  timed out: $n (in ${timeouts[$n]} of $ROUNDS rounds)"; done | sort
for n in "${!failures[@]}"; do echo "  failed:    $n (in ${failures[$n]} of $ROUNDS rounds)"; done | sort
if [ $bad_rounds -eq 0 ]; then
  rmdir "$WORK" 2>/dev/null
  exit 0
fi
exit 1
