#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the release build and the whole test suite;
#   2. the release build installed as users install it (scripts/install_check.sh:
#      staging prefix, find_package and pkg-config, the Debian packages; the
#      packages are installed only when running as root);
#   3. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer
#      (LeakSanitizer included);
#   4. the threaded test binaries (label "threads") under ThreadSanitizer;
#   5. a short run of every fuzz target (libFuzzer, clang).
# ZUBMP3_QUICK=1 runs stage 1 only. Each stage fails the script on any
# failure or sanitizer report, and prints its wall time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
# Sanitizer builds: -O1 with line tables only, as the sanitizers advise; it
# halves their compile time and keeps file and line in every report.
sanitizer_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

current=""
started=$SECONDS
stage_done() {
  [ -n "$current" ] && printf '==== %s: %d s ====\n' "$current" $((SECONDS - started))
  return 0
}
stage() {
  stage_done
  current="$*"
  started=$SECONDS
  printf '\n==== %s ====\n' "$*"
}
trap 'stage_done; printf "==== total: %d s ====\n" "$SECONDS"' EXIT

stage "release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
[ "${ZUBMP3_QUICK:-0}" = 1 ] && exit 0

stage "install and packages"
scripts/install_check.sh build

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan "${sanitizer_flags[@]}" -DZUBMP3_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

stage "ThreadSanitizer"
cmake -S . -B build-tsan "${sanitizer_flags[@]}" -DZUBMP3_SANITIZE=thread >/dev/null
cmake --build build-tsan -j"$jobs" --target zubmp3_thread_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L threads

if [ -f fuzz/CMakeLists.txt ]; then
  stage "fuzz smoke"
  scripts/fuzz.sh "${ZUBMP3_FUZZ_SECONDS:-20}"
fi
