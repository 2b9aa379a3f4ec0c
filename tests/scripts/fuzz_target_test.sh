#!/usr/bin/env bash
# scripts/fuzz_target.sh must fail when its target fails: stand-in targets
# that abort, exit with libFuzzer's crash status or finish cleanly.
set -uo pipefail
runner="$(cd "$(dirname "$0")/../.." && pwd)/scripts/fuzz_target.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"

stand_in() {  # stand_in NAME BODY: a target script that prints a libFuzzer-like start first
  printf '#!/bin/sh\necho "INFO: Seed: 1"\n%s\n' "$2" >"$work/$1"
  chmod +x "$work/$1"
}
stand_in clean 'echo "Done 1000 runs in 1 second(s)"; echo "stat::number_of_executed_units: 1000"; exit 0'
stand_in aborts 'echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow"; echo "SUMMARY: AddressSanitizer"; kill -ABRT $$'
stand_in crash_status 'echo "==1== ERROR: libFuzzer: deadly signal"; exit 1'

failures=0
expect() {  # expect NAME WANTED(pass|fail) PATTERN
  output=$("$runner" "$work/$1" "$work/corpus" 1 2>&1)
  status=$?
  if { [ "$2" = pass ] && [ $status -ne 0 ]; } || { [ "$2" = fail ] && [ $status -eq 0 ]; }; then
    echo "FAIL: $1 should $2, exit status $status"; echo "$output"; failures=$((failures + 1))
  elif ! grep -q -- "$3" <<<"$output"; then
    echo "FAIL: $1: no '$3' in the output"; echo "$output"; failures=$((failures + 1))
  fi
}
expect clean pass "stat::number_of_executed_units: 1000"
expect aborts fail "fuzz target aborts failed with status 134"
expect aborts fail "SUMMARY: AddressSanitizer"
expect crash_status fail "fuzz target crash_status failed with status 1"
[ -z "$(ls -A "$work/corpus")" ] || { echo "FAIL: the corpus was written to"; failures=$((failures + 1)); }
[ $failures -eq 0 ] && echo "fuzz_target.sh: all cases pass"
exit $failures
