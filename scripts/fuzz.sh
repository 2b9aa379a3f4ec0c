#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20)
# on its generated seed corpus. Any crash, leak or timeout fails the script.
# A longer run: scripts/fuzz.sh 600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUBMP3_FUZZ=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target zubmp3_fuzz_targets
corpus_root=build-fuzz/corpus
rm -rf "$corpus_root" && mkdir -p "$corpus_root"
python3 fuzz/make_corpus.py "$corpus_root"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "$corpus_root/$name"
  echo "-- $name (${seconds}s)"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus_root/$name" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "fuzz target $name failed"; exit 1; }
done
