#!/usr/bin/env bash
# Builds everything and runs every test: the README's test command and what CI runs.
#   tools/test.sh          the full run: the normal build and its tests, then the same
#                          tests built with AddressSanitizer + UndefinedBehaviorSanitizer,
#                          then the thread-heavy tests (label "tsan") with ThreadSanitizer
#   tools/test.sh --quick  the normal build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

jobs=$(nproc)
run_suite() {  # build-dir, ctest arguments, cmake options...
  local dir=$1 ctest_args=$2
  shift 2
  echo "==> $dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUV_WARNINGS_AS_ERRORS=ON \
    -DRUV_BUILD_BENCH=OFF "$@" >/dev/null
  cmake --build "$dir" -- -k 0
  # shellcheck disable=SC2086
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" $ctest_args
}

base=${RUV_BUILD_DIR:-build}
run_suite "$base" "" -DRUV_BUILD_BENCH=ON
[ "${1:-}" = "--quick" ] && exit 0

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tools/sanitizers/lsan.supp:print_suppressions=0
run_suite "$base-asan" "" -DRUV_SANITIZE=address

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
run_suite "$base-tsan" "-L tsan" -DRUV_SANITIZE=thread -DRUV_WITH_GUI=OFF
