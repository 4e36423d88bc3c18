#!/usr/bin/env bash
# siftwell-extract against hostile inputs: files that are missing, unreadable,
# directories, pipes, huge, sparse or oddly named; outputs that are full, the
# input itself or closed; settings that are unreadable, junk or of the wrong
# types. Each case checks the exit status, the message and that nothing was
# lost: the output of the good files, and the input files untouched.
. "$(dirname "$0")/cli_preamble.sh" "$@"
private_settings
writer=
on_exit '[ -n "$writer" ] && kill "$writer" 2>/dev/null'
on_exit 'chmod -R u+rwx "$work" "$XDG_CONFIG_HOME" 2>/dev/null'
conf_dir=$XDG_CONFIG_HOME/Maelbrook
conf=$conf_dir/Siftwell.conf


# Root reads and writes whatever the permission bits say; as_user runs a
# command without that override, so that it meets the bits as a user does.
as_user() { "$@"; }
bits_hold=yes
if [ "$(id -u)" -eq 0 ]; then
  if setpriv --bounding-set=-dac_override,-dac_read_search true 2>/dev/null; then
    as_user() { setpriv --bounding-set=-dac_override,-dac_read_search "$@"; }
  else
    bits_hold=no
  fi
fi

# check NAME WANT_STATUS WANT_STDOUT_FILE WANT_MESSAGE: compares the last
# run's status, its standard output with a file, and looks for WANT_MESSAGE
# in standard error (empty: standard error must be empty).
check() {
  local name=$1 want=$2 out=$3 message=$4
  if [ "$got" -ne "$want" ]; then
    fail "$name: exit $got, wanted $want ($(head -c 300 "$work/err"))"
  elif ! cmp -s "$work/out" "$out"; then
    fail "$name: standard output differs: $(head -c 100 "$work/out" | od -c | head -2)"
  elif [ -z "$message" ] && [ -s "$work/err" ]; then
    fail "$name: unexpected message '$(cat "$work/err")'"
  elif [ -n "$message" ] && ! grep -qF -- "$message" "$work/err"; then
    fail "$name: message '$(cat "$work/err")' lacks '$message'"
  else
    pass
  fi
}

printf 'Goodly words\001first file\n' > "$work/good1"
printf 'Second\002file here\n' > "$work/good2"
printf 'Goodly\nwords\nfirst\n' > "$work/good1.want"
: > "$work/empty"

# A missing file between two good ones: both good outputs, one message.
"$tool" "$work/good1" "$work/missing" "$work/good2" > "$work/out" 2> "$work/err"
got=$?
printf 'Goodly\nwords\nfirst\nSecond\n' > "$work/want"
check "missing file" 1 "$work/want" "$work/missing: No such file or directory"
[ "$(wc -l < "$work/err")" -eq 1 ] && pass || fail "missing file: more than one message line"

# A file without read permission.
if [ "$bits_hold" = yes ]; then
  cp "$work/good1" "$work/locked"
  chmod 000 "$work/locked"
  as_user "$tool" "$work/locked" "$work/good1" > "$work/out" 2> "$work/err"
  got=$?
  check "unreadable file" 1 "$work/good1.want" "$work/locked: Permission denied"
  chmod 600 "$work/locked"
  cmp -s "$work/locked" "$work/good1" && pass || fail "unreadable file: changed"
else
  skip "unreadable file: running as root without a way to drop the permission override"
fi

# A directory.
mkdir "$work/folder"
"$tool" "$work/folder" "$work/good1" > "$work/out" 2> "$work/err"
got=$?
check "directory" 1 "$work/good1.want" "$work/folder: Is a directory"

# A pipe whose writer sends some text in two parts and closes.
mkfifo "$work/pipe"
{ printf 'Several words\001arr'; sleep 0.2; printf 'ive through a pipe\n'; } > "$work/pipe" &
writer=$!
timeout 60 "$tool" "$work/pipe" > "$work/out" 2> "$work/err"
got=$?
wait "$writer" 2>/dev/null
writer=
printf 'Several\nwords\narrive\nthrough\n' > "$work/want"
check "pipe with a writer that closes" 0 "$work/want" ""

# A sparse file of just over 4 GiB, text at its very end.
tail_text=$'\001The text at the very end'
size=$((4 * 1024 * 1024 * 1024 + 4096))
if truncate -s $((size - ${#tail_text})) "$work/sparse" 2>/dev/null; then
  printf '%s' "$tail_text" >> "$work/sparse"
  start=$(date +%s%N)
  timeout 600 "$tool" -c upper,lower,space "$work/sparse" > "$work/out" 2> "$work/err"
  got=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  echo "sparse file of $size bytes: $ms ms"
  printf 'The text at the very end\n' > "$work/want"
  check "sparse file over 4 GiB" 0 "$work/want" ""
  rm -f "$work/sparse"
else
  skip "sparse file: this file system cannot hold it"
fi

# The output is a full device: exit 1 with the reason, the input untouched.
if [ -w /dev/full ]; then
  head -c 3000000 /dev/zero | tr '\0' 'w' > "$work/wide"
  cp "$work/wide" "$work/wide.copy"
  "$tool" "$work/wide" > /dev/full 2> "$work/err"
  got=$?
  : > "$work/out"
  check "output on /dev/full" 1 "$work/empty" "write error: No space left on device"
  cmp -s "$work/wide" "$work/wide.copy" && pass || fail "/dev/full: the input changed"
  # The same for a file scanned in parts on all cores, whichever thread
  # meets the full device.
  yes 'Several words of text' | head -c 40000000 > "$work/parts"
  "$tool" "$work/parts" > /dev/full 2> "$work/err"
  got=$?
  check "parts on /dev/full" 1 "$work/empty" "write error: No space left on device"
  rm -f "$work/parts" "$work/wide.copy"
else
  skip "/dev/full is missing"
fi

# Standard output closed, standard input closed.
"$tool" "$work/good1" 2> "$work/err" >&-
got=$?
: > "$work/out"
check "standard output closed" 1 "$work/empty" "write error: Bad file descriptor"
"$tool" > "$work/out" 2> "$work/err" <&-
got=$?
check "standard input closed" 1 "$work/empty" "standard input: Bad file descriptor"

# The output appended to the input: reading its own output would make the
# file grow without end. It must be refused, the input left as it was.
yes 'Hello world text' | head -c 5000000 > "$work/self"
cp "$work/self" "$work/self.copy"
(
  ulimit -f 200000 # 100 MiB: far more than a sound run writes
  timeout 120 "$tool" "$work/self" >> "$work/self" 2> "$work/err"
)
got=$?
: > "$work/out"
if [ "$got" -eq 1 ] && grep -q . "$work/err" && cmp -s "$work/self" "$work/self.copy"; then
  pass
else
  fail "output appended to the input: exit $got, $(stat -c %s "$work/self") bytes now" \
    "(was 5000000), message '$(head -c 200 "$work/err")'"
fi
rm -f "$work/self" "$work/self.copy"

# A single run of 200 MB with no maximum: one line, whole.
head -c 200000000 /dev/zero | tr '\0' 'a' > "$work/onerun"
{ cat "$work/onerun"; printf '\n'; } > "$work/onerun.want"
"$tool" -m 0 "$work/onerun" > "$work/out" 2> "$work/err"
got=$?
check "200 MB single run" 0 "$work/onerun.want" ""
rm -f "$work/onerun" "$work/onerun.want"

# A file truncated while it is read: the pass ends early, no signal kills it.
# The slow reader of the output holds the extractor in the middle of the file.
yes 'Several words of text' | head -c 100000000 > "$work/shrinks"
(
  "$tool" "$work/shrinks" 2> "$work/err" | { sleep 0.5; cat > /dev/null; }
  echo "${PIPESTATUS[0]}" > "$work/status"
) &
reader=$!
sleep 0.2
: > "$work/shrinks"
wait "$reader"
got=$(cat "$work/status")
: > "$work/out"
check "file truncated while read" 0 "$work/empty" ""
rm -f "$work/shrinks"

# Names with blanks, quotes, a byte that is not UTF-8, shell characters and
# a leading "-".
odd=$'-in \'single\' "double" \xe9t\xe9 \xe2\x98\x83 $HOME;`x`.bin'
cp "$work/good1" "$work/$odd"
( cd "$work" && "$tool" -- "$odd" ) > "$work/out" 2> "$work/err"
got=$?
check "odd name after --" 0 "$work/good1.want" ""
"$tool" "$work/$odd" > "$work/out" 2> "$work/err"
got=$?
check "odd name with its folder" 0 "$work/good1.want" ""
( cd "$work" && "$tool" -- "$odd.missing" ) > "$work/out" 2> "$work/err"
got=$?
check "odd missing name" 1 "$work/empty" "$odd.missing: No such file or directory"
( cd "$work" && "$tool" "$odd" ) > "$work/out" 2> "$work/err"
got=$?
check "odd name taken for options" 2 "$work/empty" "see --help"
cmp -s "$work/$odd" "$work/good1" && pass || fail "odd name: the file changed"

# Settings: junk, values of the wrong types, unreadable, a folder that
# cannot be written. The extractor only reads them and never changes them.
mkdir -p "$conf_dir"
printf 'Words\001abcdefgh\002ab\n' > "$work/short"
printf 'Words\nabcdefgh\n' > "$work/want"
# The extractor on that file (run through any command given after the
# message), which gives the same words under MinChar 2 as under the default;
# the settings file must be as it was.
settings_case() {
  local name=$1 message=$2
  shift 2
  cp "$conf" "$work/conf.copy"
  "$@" "$tool" "$work/short" > "$work/out" 2> "$work/err"
  got=$?
  check "$name" 0 "$work/want" "$message"
  cmp -s "$conf" "$work/conf.copy" && pass || fail "$name: changed"
}

head -c 4096 /dev/urandom > "$conf"
printf '\n[Options]\n=\\\n' >> "$conf"
settings_case "settings file of junk" ""

printf '[Options]\nMinChar=2\nMaxChar=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\nUpper=0\n' > "$conf"
settings_case "settings of the wrong type" "Invalid data type for 'MaxChar'"

if [ "$bits_hold" = yes ]; then
  printf '[Options]\nMinChar=2\n' > "$conf"
  chmod 000 "$conf"
  as_user "$tool" "$work/short" > "$work/out" 2> "$work/err"
  got=$?
  if [ "$got" -ne 0 ] || ! cmp -s "$work/out" "$work/want"; then
    fail "unreadable settings: exit $got, $(od -c "$work/out" | head -2)"
  else
    pass
  fi
  chmod 600 "$conf"
  [ "$(cat "$conf")" = $'[Options]\nMinChar=2' ] && pass || fail "unreadable settings: changed"

  chmod 555 "$conf_dir"
  settings_case "settings folder without write permission" "" as_user
  chmod 755 "$conf_dir"
else
  skip "unreadable settings: running as root without a way to drop the permission override"
fi

report
