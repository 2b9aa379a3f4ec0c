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
  scripts/fuzz_target.sh "$target" "$corpus_root/$name" "$seconds" || exit 1
done
