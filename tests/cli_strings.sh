#!/usr/bin/env bash
# siftwell-extract gives byte for byte what GNU strings -a -n 5 gives, on
# real binaries of this machine.
set -u
tool=${1:?usage: cli_strings.sh SIFTWELL_EXTRACT}
command -v strings > /dev/null || { echo "GNU strings is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

candidates=(/usr/bin/cmake /usr/bin/bash /usr/bin/strings /usr/lib/x86_64-linux-gnu/libc.so.6
  /usr/lib/x86_64-linux-gnu/libQt6Core.so.6 /usr/lib/x86_64-linux-gnu/libstdc++.so.6 "$tool")
failed=0 passed=0
for f in "${candidates[@]}"; do
  f=$(readlink -f "$f" 2> /dev/null) || continue
  [ -f "$f" ] || continue
  strings -a -n 5 "$f" > "$work/gnu.txt"
  "$tool" -n 4 -m 0 -c upper,lower,number,space,punct,symbol -x $'\t' "$f" > "$work/ours.txt"
  status=$?
  if [ $status -ne 0 ] || ! cmp -s "$work/gnu.txt" "$work/ours.txt"; then
    echo "FAIL: $f (exit $status)"
    cmp "$work/gnu.txt" "$work/ours.txt"
    failed=$((failed + 1))
  else
    echo "same: $f ($(wc -l < "$work/ours.txt") lines)"
    passed=$((passed + 1))
  fi
done
[ $((passed + failed)) -gt 0 ] || { echo "no binaries to compare"; exit 77; }

# Several files in one call: their outputs one after the other.
strings -a -n 5 /usr/bin/strings "$tool" > "$work/gnu.txt"
"$tool" -n 4 -m 0 -c upper,lower,number,space,punct,symbol -x $'\t' /usr/bin/strings "$tool" \
  > "$work/ours.txt"
if cmp -s "$work/gnu.txt" "$work/ours.txt"; then
  passed=$((passed + 1))
else
  echo "FAIL: two files in one call"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
