#!/usr/bin/env bash
# siftwell-extract as a user runs it: its flags over the stored options, its
# messages and exit statuses, standard input, missing files, failed writes.
. "$(dirname "$0")/cli_preamble.sh" "$@"
private_settings
conf=$XDG_CONFIG_HOME/Maelbrook/Siftwell.conf


# expect NAME STATUS STDOUT [ARGS...] < input: runs the tool, compares the
# exit status and the exact bytes of standard output.
expect() {
  local name=$1 status=$2 want=$3
  shift 3
  local got
  "$tool" "$@" > "$work/out" 2> "$work/err"
  got=$?
  if [ "$got" -ne "$status" ]; then
    fail "$name: exit $got, wanted $status ($(cat "$work/err"))"
  elif ! cmp -s "$work/out" <(printf '%b' "$want"); then
    fail "$name: output $(od -c "$work/out" | head -3)"
  else
    pass
  fi
}

# refused NAME WORD ARGS...: exit 2, one line on standard error naming WORD,
# nothing on standard output.
refused() {
  local name=$1 word=$2
  shift 2
  local got
  "$tool" "$@" < /dev/null > "$work/out" 2> "$work/err"
  got=$?
  if [ "$got" -ne 2 ]; then
    fail "$name: exit $got, wanted 2"
  elif [ "$(wc -l < "$work/err")" -ne 1 ] || ! grep -qF -- "$word" "$work/err"; then
    fail "$name: message '$(cat "$work/err")' does not name '$word' in one line"
  elif [ -s "$work/out" ]; then
    fail "$name: wrote to standard output"
  else
    pass
  fi
}

printf 'ab-Extraction-abcdefghijklmnopqrstuvwxy' > "$work/example"
printf 'one two\nthree\0four\n' > "$work/words"

# Defaults of a first start: MinChar 4, letters only.
expect "defaults" 0 'Extraction\nabcdefghijklmnopqrstuvwxy\n' "$work/example"
[ ! -e "$XDG_CONFIG_HOME/Maelbrook" ] && pass || fail "the settings folder was created"

expect "worked example" 0 'Extraction\nabcdefghij\nklmnopqrst\nuvwxy\n' -n 4 -m 10 "$work/example"
expect "long options" 0 'Extraction\nabcdefghij\nklmnopqrst\nuvwxy\n' \
  --min-chars=4 --max-chars=10 "$work/example"
expect "-n 0 keeps single letters" 0 'a\nb\nc\n' -n 0 - <<< 'a b c'
expect "-n by the integer rule: \$10 is 16" 0 'abcdefghijklmnopq\n' -n '$10' - \
  <<< 'abcdefghijklmnop abcdefghijklmnopq'
expect "-n 0x10" 0 'abcdefghijklmnopq\n' -n 0x10 - <<< 'abcdefghijklmnop abcdefghijklmnopq'
expect "-n with leading blanks" 0 'abcdefgh\n' -n ' 7' - <<< 'abcdefg abcdefgh'
expect "-n -1 keeps nothing" 0 '' -n -1 "$work/example"
expect "-m -1 sets no limit" 0 'abcdefghijklmnopqrstuvwxy\n' -n 12 -m -1 "$work/example"
expect "-m 1 -n 0" 0 'a\nb\n' -n 0 -m 1 - <<< 'ab'
expect "-c with digits and space" 0 'one two\nthree\nfour\n' -n 3 -c lower,space "$work/words"
expect "-c empty turns all off" 0 '' -n 0 -c '' "$work/words"
expect "-c empty with -x" 0 'o\nt\no\nt\no\n' -n 0 -c '' -x ot "$work/words"
expect "-c iso" 0 '\xe9\xe8\xff\n' -n 1 -c iso - < <(printf 'abc\xe9\xe8\xff\x80xyz')
expect "-x takes bytes" 0 'ab\x80\tcd\n' -n 4 -x $'\x80\t' - < <(printf 'ab\x80\tcd\x81')
expect "last flag wins" 0 'abcdefghijklmnopqrstuvwxy\n' -n 9 -n 20 "$work/example"

# Output options: offsets, file names, separators, JSON.
expect "-t x with MaxChar pieces" 0 '      3 Extraction\n      e abcdefghij\n     18 klmnopqrst\n     22 uvwxy\n' \
  -n 4 -m 10 -t x "$work/example"
expect "-t d" 0 '      3 Extraction\n     14 abcdefghijklmnopqrstuvwxy\n' --radix=d "$work/example"
expect "-o is -t o" 0 '      3 Extraction\n     16 abcdefghijklmnopqrstuvwxy\n' -o "$work/example"
expect "-f with standard input" 0 \
  "$work/example: Extraction\n$work/example: abcdefghijklmnopqrstuvwxy\n{standard input}: hello\n" \
  -f "$work/example" - < <(printf 'hello abc')
expect "-f -t x" 0 "$work/example:       3 Extraction\n$work/example:       e abcdefghij\n$work/example:      18 klmnopqrst\n" \
  -f -t x -n 9 -m 10 "$work/example"
expect "-s" 0 'Extraction::abcdefghijklmnopqrstuvwxy::' -s :: "$work/example"
expect "--output-separator empty" 0 'Extractionabcdefghijklmnopqrstuvwxy' --output-separator= "$work/example"
expect "-a is ignored" 0 'Extraction\nabcdefghijklmnopqrstuvwxy\n' -a --all "$work/example"
expect "--json" 0 '{"file":"{standard input}","offset":1,"encoding":"8","text":"a\\"b\\\\c\\t\xc3\xa9\\u0001"}\n' \
  --json -n 0 -c lower,punct,symbol -x $'\t\xe9\x01' - < <(printf ' a"b\\c\t\xe9\x01 ')
printf 'hello' > "$work/n"$'\xff'"x"$'\t'"q"
expect "--json file name not UTF-8" 0 '{"file":"'"$work"'/n\xef\xbf\xbdx\\tq","offset":0,"encoding":"8","text":"hello"}\n' \
  --json "$work/n"$'\xff'"x"$'\t'"q"

# Standard input, with no FILE and with "-", between files.
expect "standard input" 0 'hello\nworld\n' < <(printf 'hello\nworld')
expect "dash among files" 0 'Extraction\nabcdefghijklmnopqrstuvwxy\nhello\nExtraction\nabcdefghijklmnopqrstuvwxy\n' \
  "$work/example" - "$work/example" < <(printf 'hello')

# Refused options: exit 2, one line naming what was wrong.
refused "-n abc" "abc" -n abc "$work/example"
refused "-n with a blank after" "4 " -n '4 ' "$work/example"
refused "-n beyond 32 bits" "99999999999" -n 99999999999 "$work/example"
refused "--max-chars empty" "max-chars" --max-chars= "$work/example"
refused "-c unknown class" "digits" -c upper,digits "$work/example"
refused "-c trailing comma" "--classes" -c upper, "$work/example"
refused "unknown short option" "-z" -z "$work/example"
refused "unknown long option" "--bogus" --bogus=4 "$work/example"
refused "missing value" "-n" -n
refused "-t unknown radix" "radix" -t b "$work/example"
refused "--radix empty" "radix" --radix= "$work/example"
refused "-t two letters" "xx" -t xx "$work/example"
refused "-s without a value" "-s" -s
refused "--json with -t" "-t" --json -t x "$work/example"
refused "-f with --json" "-f" -f --json "$work/example"
refused "--json with -s" "-s" --json -s , "$work/example"
refused "--json with -o" "-o" -o --json "$work/example"

# GNU strings' spellings: the ones kept are accepted, the others refused as
# not supported, never as unknown.
expect "-n 4294967295 in decimal keeps nothing" 0 '' -n 4294967295 "$work/example"
expect "-n 4294967294 in decimal" 0 '' -n 4294967294 "$work/example"
expect "-NUMBER" 0 'Extraction\nabcdefghijklmnopqrstuvwxy\n' -10 "$work/example"
expect "--bytes" 0 'abcdefghijklmnopqrstuvwxy\n' --bytes=11 "$work/example"
expect "-w" 0 'a\tb\nc\n' -w --bytes=1 - < <(printf 'a\tb\nc')
refused "-NUMBER zero" "0" -0 "$work/example"
refused "--bytes not a number" "x1" --bytes=x1 "$work/example"
for flag in -d --data "-T elf64-x86-64" --target=elf64-x86-64 "-U d" --unicode=show; do
  # shellcheck disable=SC2086 # the flag and its value are two words
  refused "$flag" "not supported" $flag "$work/example"
done
for flag in -v -V; do
  "$tool" $flag > "$work/out" 2>&1
  [ $? -eq 0 ] && [ "$(cat "$work/out")" = "siftwell-extract 1.03.2" ] && pass || fail "$flag"
done
printf -- "-n 10 -f" > "$work/opts"
expect "@FILE" 0 "$work/example: abcdefghijklmnopqrstuvwxy\n" @"$work/opts" "$work/example"
"$tool" @"$work/missing" > "$work/out" 2> "$work/err"
[ $? -eq 1 ] && grep -qF "@$work/missing" "$work/err" && pass || fail "@FILE missing: $(cat "$work/err")"
printf -- "-a @%s" "$work/loop" > "$work/loop"
refused "@FILE naming itself" "$work/loop" @"$work/loop"
refused "@FILE a folder" "$work" @"$work"

"$tool" --version > "$work/out" 2>&1
[ "$(cat "$work/out")" = "siftwell-extract 1.03.2" ] && pass || fail "--version: $(cat "$work/out")"
if "$tool" --help > "$work/out" 2>&1 && grep -q '^Usage: siftwell-extract \[OPTION\]\.\.\. \[FILE\]\.\.\.' "$work/out" &&
  grep -q 'GNU strings' "$work/out" && grep -qF -- '-n 4 -m 0 -c upper' "$work/out"; then
  pass
else
  fail "--help"
fi
"$tool" -h > "$work/out2" 2>&1 && cmp -s "$work/out" "$work/out2" && pass || fail "-h"

# A file that cannot be opened is reported; the others are still done.
"$tool" "$work/example" "$work/missing" "$work/words" > "$work/out" 2> "$work/err"
status=$?
printf 'Extraction\nabcdefghijklmnopqrstuvwxy\nthree\n' > "$work/want"
if [ $status -eq 1 ] && cmp -s "$work/out" "$work/want" && grep -q "$work/missing" "$work/err" &&
  [ "$(wc -l < "$work/err")" -eq 1 ]; then pass; else fail "missing file: exit $status, $(cat "$work/err")"; fi
"$tool" "$work" > /dev/null 2> "$work/err"
[ $? -eq 1 ] && grep -q "$work" "$work/err" && pass || fail "a folder as FILE"

# The output appended to an input would grow it without end: refused, the
# other files still done, the file as it was.
cp "$work/example" "$work/self"
"$tool" "$work/words" "$work/self" >> "$work/self" 2> "$work/err"
status=$?
printf 'ab-Extraction-abcdefghijklmnopqrstuvwxythree\n' > "$work/want"
if [ $status -eq 1 ] && cmp -s "$work/self" "$work/want" && grep -q 'input file is output file' "$work/err"; then
  pass
else
  fail "output appended to the input: exit $status, $(cat "$work/err")"
fi

# Standard output closed: the first file opened must not take its place.
"$tool" "$work/example" >&- 2> "$work/err"
status=$?
[ $status -eq 1 ] && grep -q 'write error: Bad file descriptor' "$work/err" && pass ||
  fail "closed standard output: exit $status, $(cat "$work/err")"

# Failed writes.
if [ -w /dev/full ]; then
  "$tool" "$work/example" > /dev/full 2> "$work/err"
  status=$?
  [ $status -eq 1 ] && grep -qi 'write error' "$work/err" && pass ||
    fail "/dev/full: exit $status, $(cat "$work/err")"
  # A large input must stop at the first failed write, not read on for nothing.
  head -c 50000000 /dev/zero | tr '\0' 'a' | "$tool" -m 10 > /dev/full 2> "$work/err"
  [ $? -eq 1 ] && pass || fail "/dev/full with a large input"
fi

# The stored options are the starting point; flags override them; the file
# is never written.
mkdir -p "$(dirname "$conf")"
cat > "$conf" << 'CONF'
[Options]
MinChar=2
MaxChar=0
Number=1
Space=0
Other=-
CONF
cp "$conf" "$work/conf.before"
expect "stored options" 0 'ab-Extraction-abcdefghijklmnopqrstuvwxy\n' "$work/example"
expect "stored options, digits" 0 'x1-2\n' - <<< 'x1-2 y'
expect "flags over stored options" 0 'Extraction\nabcdefghijklmnopqrstuvwxy\n' -x '' -n 9 "$work/example"
cmp -s "$conf" "$work/conf.before" && pass || fail "the settings file was changed"

# A NUL byte that the escape \0 puts into the stored Other is dropped: runs
# still end at NUL bytes.
printf '[Options]\nMinChar=1\nOther=a\\0b\n' > "$conf"
cp "$conf" "$work/conf.before"
expect "NUL in stored Other" 0 'ab\ncd\nabcdef\n' - < <(printf 'ab\0\0\0\0cd\0abcdef\0')
cmp -s "$conf" "$work/conf.before" && pass || fail "the settings file was changed"

# A value of the wrong type is reported; the values before it are used,
# the ones after it keep their defaults (no digits, no "-").
cat > "$conf" << 'CONF'
[Options]
MinChar=1
MaxChar=1, 2
Number=1
Other=-
CONF
"$tool" "$work/example" > "$work/out" 2> "$work/err"
status=$?
printf 'ab\nExtraction\nabcdefghijklmnopqrstuvwxy\n' > "$work/want"
if [ $status -eq 0 ] && cmp -s "$work/out" "$work/want" && grep -q "Invalid data type for 'MaxChar'" "$work/err"; then
  pass
else
  fail "store error: exit $status, $(cat "$work/err")"
fi
rm -rf "$XDG_CONFIG_HOME/Maelbrook"

# Ctrl+C ends a long run at once, as it does for any program.
set -m # a background job of a script ignores SIGINT without job control
"$tool" -c '' -x $'\x01' /dev/zero > /dev/null 2>&1 &
pid=$!
sleep 0.3
kill -INT "$pid"
for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2> /dev/null; then
  kill -KILL "$pid"
  fail "SIGINT did not end the extraction"
else
  wait "$pid"
  [ $? -eq 130 ] && pass || fail "SIGINT: unexpected exit status"
fi
set +m

report
