#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan, and runs each for
# SECONDS (default 60) on a copy of its seed corpus from tests/fuzz/. New
# corpus entries stay in the copy; crash inputs go to BUILD/fuzz-artifacts/.
# Fails when any target crashes, leaks, times out or finds a difference.
#   scripts/fuzz.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
build=${2:-$root/build-fuzz}
case $seconds in '' | *[!0-9]*)
  echo "usage: scripts/fuzz.sh [SECONDS] [BUILD_DIR]" >&2
  exit 2
  ;;
esac

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DSIFTWELL_FUZZ=ON -DSIFTWELL_SANITIZE=ON -DSIFTWELL_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_targets

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# target and its longest input. A settings file can hold a serialised value
# that claims gigabytes (a 62-byte file asks Qt for 21 GB); the program then
# gets a null pointer from malloc and Qt rejects the value. The settings
# target is run the same way: an allocation over 2 GB fails instead of
# counting as a crash.
targets=("scanner 4096" "integertext 64" "settingsload 2048" "textbuffer 4096")
passed=0 failed=0
for entry in "${targets[@]}"; do
  read -r name maxlen <<<"$entry"
  corpus=$work/$name
  mkdir -p "$corpus"
  cp -r "$root/tests/fuzz/$name/." "$corpus/"
  dict=()
  [ -f "$root/tests/fuzz/$name.dict" ] && dict=(-dict="$root/tests/fuzz/$name.dict")
  log=$work/$name.log
  status=0
  asan=$ASAN_OPTIONS
  [ "$name" = settingsload ] && asan=$asan:allocator_may_return_null=1:max_allocation_size_mb=2048
  # The settings target keeps its settings file in /dev/shm; one that
  # crashed cannot remove it itself.
  before=$(ls -d /dev/shm/siftwell-fuzz-* 2>/dev/null || true)
  ASAN_OPTIONS=$asan "$build/bin/fuzz_$name" -max_total_time="$seconds" -max_len="$maxlen" \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "${dict[@]}" "$corpus" >"$log" 2>&1 || status=$?
  for left in $(ls -d /dev/shm/siftwell-fuzz-* 2>/dev/null || true); do
    grep -qxF "$left" <<<"$before" || rm -rf "$left"
  done
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$status" -eq 0 ]; then
    echo "fuzz_$name: ${runs:-?} executions in ${seconds} s, 0 crashes"
    passed=$((passed + 1))
  else
    echo "fuzz_$name: FAILED (exit $status) after ${runs:-?} executions; inputs in $artifacts"
    grep -E 'ERROR|SUMMARY|differ|expected|==[0-9]+==' "$log" | head -20 || true
    cp "$log" "$artifacts/$name.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
