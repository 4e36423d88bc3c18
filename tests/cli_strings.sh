#!/usr/bin/env bash
# siftwell-extract gives byte for byte what GNU strings -a -n 5 gives, on
# real binaries of this machine.
. "$(dirname "$0")/cli_preamble.sh" "$@"
needs strings "GNU strings"

candidates=(/usr/bin/cmake /usr/bin/bash /usr/bin/strings /usr/lib/x86_64-linux-gnu/libc.so.6
  /usr/lib/x86_64-linux-gnu/libQt6Core.so.6 /usr/lib/x86_64-linux-gnu/libstdc++.so.6 "$tool")
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

# same NAME GNU-FLAGS -- OUR-FLAGS -- FILES: the two outputs byte for byte.
same() {
  local name=$1 gnu=() ours=()
  shift
  while [ "$1" != -- ]; do gnu+=("$1"); shift; done
  shift
  while [ "$1" != -- ]; do ours+=("$1"); shift; done
  shift
  strings -a -n 5 "${gnu[@]}" "$@" > "$work/gnu.txt"
  "$tool" -n 4 -m 0 -c upper,lower,number,space,punct,symbol -x $'\t' "${ours[@]}" "$@" \
    > "$work/ours.txt"
  if cmp -s "$work/gnu.txt" "$work/ours.txt"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $name"
    cmp "$work/gnu.txt" "$work/ours.txt"
    failed=$((failed + 1))
  fi
}

# Offsets and file names, on the binaries and in combinations.
binaries=()
for f in "${candidates[@]}"; do
  f=$(readlink -f "$f" 2> /dev/null) && [ -f "$f" ] && binaries+=("$f")
done
for radix in x o d; do
  same "-t $radix" -t "$radix" -- -t "$radix" -- "${binaries[@]}"
done
same "-o" -o -- -o -- "${binaries[@]}"
same "-f with several files" -f -- -f -- "${binaries[@]}"
same "-f -t x" -f -t x -- -f -t x -- "${binaries[@]}"
same "-s" -s '|' -- -s '|' -- "${binaries[0]}"
same "-w is every blank in Other" -w -- -x $'\t\n\v\f\r' -- "${binaries[@]}"

# GNU strings' own spellings, given to both programs alike: ours starts from
# the classes that are GNU's text, and the spelling sets the length.
gnu_classes=(-m 0 -c upper,lower,number,space,punct,symbol -x $'\t')
same_spelling() { # NAME FLAGS... -- FILES...
  local name=$1 flags=()
  shift
  while [ "$1" != -- ]; do flags+=("$1"); shift; done
  shift
  strings -a "${flags[@]}" "$@" > "$work/gnu.txt" 2>&1
  "$tool" "${gnu_classes[@]}" "${flags[@]}" "$@" > "$work/ours.txt" 2>&1
  if cmp -s "$work/gnu.txt" "$work/ours.txt"; then
    pass
  else
    fail "$name"
    cmp "$work/gnu.txt" "$work/ours.txt"
  fi
}
same_spelling "-NUMBER" -8 -- "${binaries[@]}"
same_spelling "-NUMBER in octal" -010 -t x -- "${binaries[0]}"
same_spelling "--bytes=NUMBER" --bytes=3 -- "${binaries[@]}"
same_spelling "--bytes NUMBER in hexadecimal" --bytes 0x10 -f -- "${binaries[@]}"
same_spelling "-w" -w -5 -- "${binaries[@]}"
same_spelling "--include-all-whitespace" --include-all-whitespace --bytes=6 -t d -- "${binaries[0]}"
same_spelling "grouped flags and -NUMBER" -fw -7 -- "${binaries[@]}"
cp "${binaries[0]}" "$work/a b"
# GNU reads -NUMBER wrongly after a file name, so it comes first.
printf -- "-6 -f -t x\n'%s' \"%s\"" "$work/a b" "${binaries[1]}" > "$work/options"
same_spelling "@FILE" @"$work/options" --
printf -- '@%s -w' "$work/options" > "$work/outer"
same_spelling "@FILE naming another" -o @"$work/outer" --
# The recipe --help gives for GNU strings' lines, run as a user copies it,
# over stored options that cut runs at a maximum.
private_settings
mkdir -p "$XDG_CONFIG_HOME/Maelbrook"
printf '[Options]\nMinChar=2\nMaxChar=80\nOther=_\n' > "$XDG_CONFIG_HOME/Maelbrook/Siftwell.conf"
recipe=$("$tool" --help | sed -n '/What GNU strings -a -n 5 -t x FILE gives:/,/FILE$/p' |
  tail -n +2 | sed 's/\\$//' | tr -d '\n')
for f in "${binaries[@]}"; do
  strings -a -n 5 -t x "$f" > "$work/gnu.txt"
  eval "$(sed -e 's/siftwell-extract/"$tool"/' -e 's/FILE/"$f"/' <<< "$recipe")" > "$work/ours.txt"
  if [ -n "$recipe" ] && cmp -s "$work/gnu.txt" "$work/ours.txt"; then
    pass
  else
    fail "the recipe of --help ($recipe) on $f"
  fi
done
rm -rf "${XDG_CONFIG_HOME:?}/Maelbrook"

# Runs across the 1 MiB read block, and offsets past seven digits (after a
# hole, so that the file takes no room).
{
  head -c $((1048576 - 7)) /dev/zero
  printf 'across the read block\n'
} > "$work/blocks"
truncate -s +300M "$work/blocks"
printf 'far away\0' >> "$work/blocks"
same "runs across blocks, -t x" -t x -- -t x -- "$work/blocks"
same "runs across blocks, -t o" -t o -- -t o -- "$work/blocks"
same "runs across blocks, -f -t d" -f -t d -- -f -t d -- "$work/blocks" "$work/blocks"

# One large file is scanned in parts on all cores at once: the same as one
# pass, in every encoding.
while [ "$(stat -c %s "$work/large" 2> /dev/null || echo 0)" -lt 40000000 ]; do
  cat "${binaries[@]}" >> "$work/large"
done
same "large file" -- -- "$work/large"
same "large file, -t x" -t x -- -t x -- "$work/large"
same "large file, -e l -t d" -e l -t d -- -e l -t d -- "$work/large"
same "large file, -e B" -e B -- -e B -- "$work/large"
rm -f "$work/large"

# MaxChar pieces: each starts right after the cut, also across a block.
head -c $((1048576 - 5)) /dev/zero > "$work/pieces"
printf 'abcdefghijklmnop' >> "$work/pieces"
"$tool" -n 2 -m 6 -t d "$work/pieces" > "$work/ours.txt"
printf '1048571 abcdef\n1048577 ghijkl\n1048583 mnop\n' > "$work/want.txt"
if cmp -s "$work/want.txt" "$work/ours.txt"; then
  passed=$((passed + 1))
else
  echo "FAIL: MaxChar pieces across a block"
  failed=$((failed + 1))
fi

report
