#!/usr/bin/env bash
# Runs one libFuzzer target for SECONDS on CORPUS and prints its summary
# lines. Exits with the target's status: a crash, leak or timeout fails it,
# and the end of the target's report is shown.
# Usage: scripts/fuzz_target.sh TARGET CORPUS SECONDS
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 TARGET CORPUS SECONDS" >&2; exit 2; }
target=$1 corpus=$2 seconds=$3
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus" >"$log" 2>&1
status=$?
grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' "$log"
if [ "$status" -ne 0 ]; then
  tail -n 40 "$log"
  echo "fuzz target $(basename "$target") failed with status $status"
fi
exit "$status"
