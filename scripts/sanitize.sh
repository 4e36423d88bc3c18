#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer and runs the whole test suite on it, GUI tests included
# (offscreen). Any sanitizer report fails the test that made it.
#   scripts/sanitize.sh [BUILD_DIR]      (default build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-$root/build-asan}
start=$SECONDS

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSIFTWELL_SANITIZE=ON \
  -DSIFTWELL_BENCH=OFF >/dev/null
cmake --build "$build" -j2
built=$SECONDS

# Leaks that belong to the libraries below the program, not to it: see the
# comments in the file.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=0:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?
echo "sanitizer build: $((built - start)) s, tests: $((SECONDS - built)) s"
exit "$status"
