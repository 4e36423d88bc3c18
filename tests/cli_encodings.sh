#!/usr/bin/env bash
# Wide and UTF-8 runs: byte for byte what GNU strings -e gives on real
# binaries and on a file planted with UTF-16 and UTF-32 text at every
# alignment; several encodings in one pass merged by offset; UTF-8 runs.
. "$(dirname "$0")/cli_preamble.sh" "$@"
needs strings "GNU strings"
needs iconv iconv
classes=(-c upper,lower,number,space,punct,symbol -x $'\t')

check() { # NAME EXPECTED-FILE GOT-FILE
  if cmp -s "$2" "$3"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $1"
    cmp "$2" "$3" | head -3
    failed=$((failed + 1))
  fi
}

# The planted file: text in each wide encoding, a byte order mark, Latin-1,
# zeros and pieces of a real binary between, so that runs start at odd
# offsets and wide characters overlap other bytes; one run crosses the
# first 1 MiB read block at an odd offset.
planted=$work/planted.bin
words=("Hello" "World wide web" "ab" "Tab	here" "$(printf 'caf\xe9')" "0123456789" "x")
encodings=(UTF-16LE UTF-16BE UTF-32LE UTF-32BE)
: > "$work/piece.bin"
for i in $(seq 0 299); do
  word=${words[i % ${#words[@]}]}
  enc=${encodings[(i / 3) % 4]}
  printf '%s' "$word" | iconv -f ISO-8859-1 -t "$enc" >> "$work/piece.bin"
  [ $((i % 5)) -eq 0 ] && printf '\xff\xfe' >> "$work/piece.bin"
  [ $((i % 7)) -eq 0 ] && printf '\0\0\0' >> "$work/piece.bin"
  dd if="$tool" bs=1 skip=$((i * 97 % 40000)) count=$((i % 23 + 1)) status=none >> "$work/piece.bin"
done
# Copies of the piece, each one byte further on, so that every text meets
# every alignment.
: > "$planted"
while [ "$(stat -c %s "$planted")" -lt 1000000 ]; do
  cat "$work/piece.bin" >> "$planted"
  printf 'z' >> "$planted"
done
size=$(stat -c %s "$planted")
dd if=/dev/zero bs=1 count=$((1048575 - 4 - size)) status=none >> "$planted"
printf 'Across the block boundary' | iconv -t UTF-16LE >> "$planted"
printf '\0\0' >> "$planted"

binaries=()
for f in /usr/bin/bash /usr/lib/x86_64-linux-gnu/libQt6Core.so.6 "$tool"; do
  f=$(readlink -f "$f" 2> /dev/null) && [ -f "$f" ] && binaries+=("$f")
done

for f in "$planted" "${binaries[@]}"; do
  for e in s l b L B S; do
    for n in 5 2; do
      strings -a -n $n -e $e "$f" > "$work/gnu.txt"
      "$tool" -n $((n - 1)) -m 0 "${classes[@]}" -e $e "$f" > "$work/ours.txt"
      check "$(basename "$f") -e $e -n $n" "$work/gnu.txt" "$work/ours.txt"
    done
  done
done
grep -q "Across the block boundary" <("$tool" -n 3 "${classes[@]}" -e l "$planted") ||
  { echo "FAIL: the run across the block boundary"; failed=$((failed + 1)); }

# Offsets, file names and both together, over several files.
for flags in "-t x" "-t o" "-t d" "-f" "-f -t x"; do
  for e in l b L B; do
    # shellcheck disable=SC2086
    strings -a -n 4 $flags -e $e "$planted" "${binaries[@]}" > "$work/gnu.txt"
    # shellcheck disable=SC2086
    "$tool" -n 3 -m 0 "${classes[@]}" $flags -e $e "$planted" "${binaries[@]}" > "$work/ours.txt"
    check "$flags -e $e, several files" "$work/gnu.txt" "$work/ours.txt"
  done
done

# -e 8,16le,32be: the lines of each encoding alone, merged by offset; at
# one offset in the order the list names them.
for f in "$planted" "${binaries[@]}"; do
  for e in 8 16le 32be; do
    "$tool" -n 3 "${classes[@]}" -t d -e $e "$f"
  done | sort -s -n -k1,1 > "$work/expected.txt"
  "$tool" -n 3 "${classes[@]}" -t d -e 8,16le,32be "$f" > "$work/ours.txt"
  check "$(basename "$f") -e 8,16le,32be merged by offset" "$work/expected.txt" "$work/ours.txt"
done

# UTF-8: whole words with iso, the invisible characters refused.
printf 'Caf\xc3\xa9 \xe2\x80\x8aok\x01zero\xe2\x80\x8bwidth\x01\xc0\x80abcd' > "$work/utf8.txt"
printf 'Caf\xc3\xa9 \xe2\x80\x8aok\nzero\nwidth\nabcd\n' > "$work/expected.txt"
"$tool" -n 3 -c upper,lower,space,iso -e utf8 "$work/utf8.txt" > "$work/ours.txt"
check "utf8 runs" "$work/expected.txt" "$work/ours.txt"
printf '{"file":"%s","offset":0,"encoding":"utf8","text":"Caf\xc3\xa9 \xe2\x80\x8aok"}\n' \
  "$work/utf8.txt" > "$work/expected.txt"
"$tool" -n 6 -c upper,lower,space,iso -e utf8 --json "$work/utf8.txt" > "$work/ours.txt"
check "utf8 as JSON" "$work/expected.txt" "$work/ours.txt"
printf 'Hi\xe9' | iconv -f ISO-8859-1 -t UTF-16BE > "$work/wide.bin"
printf '{"file":"-","offset":0,"encoding":"16be","text":"Hi\xc3\xa9"}\n' |
  sed 's/"-"/"{standard input}"/' > "$work/expected.txt"
"$tool" -n 1 -c upper,lower,iso -e b --json < "$work/wide.bin" > "$work/ours.txt"
check "16be as JSON" "$work/expected.txt" "$work/ours.txt"

# A bad encoding is refused with status 2 and a message naming it.
"$tool" -e 16xx /dev/null 2> "$work/err.txt"
status=$?
if [ $status -eq 2 ] && grep -q "16xx" "$work/err.txt" && [ "$(wc -l < "$work/err.txt")" -eq 1 ]; then
  passed=$((passed + 1))
else
  echo "FAIL: a bad encoding (exit $status)"
  failed=$((failed + 1))
fi

report
