#!/usr/bin/env bash
# siftwell-extract on many files in one call, which it scans several at a
# time: the output must be what calls on one file at a time give, in the
# same order, each message at its place among the lines, and the memory
# bounded however much is written.
. "$(dirname "$0")/cli_preamble.sh" "$@"
private_settings


mapfile -t libraries < <(find /usr/lib /usr/lib64 -xdev -type f -name '*.so*' -size +16k \
  2> /dev/null | LC_ALL=C sort | head -20)
[ "${#libraries[@]}" -eq 20 ] || { echo "fewer than 20 shared libraries here"; exit 77; }
printf 'Standard input words\001here\n' > "$work/stdin"
# A missing file and standard input among them.
files=("${libraries[@]:0:10}" "$work/missing" "${libraries[@]:10:5}" - "${libraries[@]:15}")

# one_by_one ARGS...: the tool on each file in turn, standard output and
# standard error in one stream; the last failing status.
one_by_one() {
  local f status=0
  for f in "${files[@]}"; do
    "$tool" "$@" "$f" < "$work/stdin" || status=$?
  done
  return $status
}

# same NAME ARGS...: one call on all files against the calls one by one.
same() {
  local name=$1
  shift
  one_by_one "$@" > "$work/want" 2>&1
  local want=$?
  "$tool" "$@" "${files[@]}" < "$work/stdin" > "$work/got" 2>&1
  local got=$?
  if [ "$got" -ne "$want" ]; then
    fail "$name: exit $got, one by one $want"
  elif ! cmp -s "$work/got" "$work/want"; then
    fail "$name: output differs: $(cmp "$work/got" "$work/want")"
  elif ! grep -qF "$work/missing: No such file or directory" "$work/got"; then
    fail "$name: no message for the missing file"
  else
    pass
  fi
}

same "-f" -f
same "-f -t x" -f -t x
same "plain" -n 4 -m 0
same "-t d -s" -t d -s ' | '
same "--json" --json

# A failed output ends the run with the reason.
if [ -w /dev/full ]; then
  "$tool" "${libraries[@]}" > /dev/full 2> "$work/err"
  got=$?
  if [ "$got" -eq 1 ] && grep -qF "write error: No space left on device" "$work/err"; then
    pass
  else
    fail "output on /dev/full: exit $got, '$(head -c 200 "$work/err")'"
  fi
fi

# Standard input named twice is read once, by the first.
printf 'Words\001onlyonce\n' | "$tool" - - > "$work/got" 2>&1
printf 'Words\nonlyonce\n' > "$work/want"
cmp -s "$work/got" "$work/want" && pass || fail "standard input twice: $(od -c "$work/got" | head -2)"

# Large outputs are written as they come: the memory stays far below them.
if [ -x /usr/bin/time ]; then
  for i in 1 2 3 4; do yes "Many words of text $i" | head -c 40000000 > "$work/big$i"; done
  peak=$(/usr/bin/time -f %M "$tool" "$work"/big* 2>&1 > /dev/null | tail -1)
  [ "$peak" -lt 80000 ] && pass || fail "peak memory $peak KB over 160 MB of output"
  "$tool" "$work"/big* | cmp -s - <(for f in "$work"/big*; do "$tool" "$f"; done) && pass ||
    fail "large files: output differs"
  # One run of 150 MB is written as it is found, never held whole, plain and
  # formatted alike.
  rm -f "$work"/big*
  head -c 150000000 /dev/zero | tr '\0' A > "$work/run"
  for flags in "" "-t x -f" "--json"; do
    # shellcheck disable=SC2086
    peak=$(/usr/bin/time -f %M "$tool" $flags "$work/run" 2>&1 > "$work/out" | tail -1)
    [ "$peak" -lt 80000 ] && pass || fail "peak memory $peak KB for a 150 MB run ($flags)"
  done
  [ "$(tail -c 4 "$work/out")" = 'A"}' ] && [ "$(wc -c < "$work/out")" -gt 150000000 ] &&
    pass || fail "the 150 MB run as JSON"
  rm -f "$work/run" "$work/out"
  # One file of a million parts (15 TB, sparse, read for two seconds): the
  # memory does not grow with the number of parts.
  if truncate -s 15T "$work/huge" 2> /dev/null; then
    peak=$(/usr/bin/time -f %M timeout 2 "$tool" "$work/huge" 2>&1 > /dev/null | tail -1)
    [ "$peak" -lt 80000 ] && pass || fail "peak memory $peak KB for a file of a million parts"
    rm -f "$work/huge"
  fi
fi

report
