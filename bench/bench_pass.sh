#!/usr/bin/env bash
# The pass into a document window over three inputs, in a real window (an X
# server of its own), each beside GNU strings and siftwell-extract in the
# same run (see bench_pass.cpp for what is measured):
#  - the corpus of about 480 MB of shared libraries,
#  - eight copies of it (about 3.8 GB),
#  - one run of 200,000,000 bytes "A",
#  - "enc": the corpus again, the window searching single bytes and UTF-16LE
#    with hexadecimal offsets, beside siftwell-extract -e 8,16le -t x;
#  - "text": about 3 GB of text lines (the corpus's runs, repeated), a text
#    three times the memory budget, in editor and file mode, each with the
#    commands after the pass.
# Each ends in a needle that occurs nowhere else, for the Find Next figure.
#
#   bench/bench_pass.sh [BUILD_DIR] [INPUT...]   (inputs: 1x 8x run enc text; default all)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=(1x 8x run enc text)
[ -x "$build/bin/bench_pass" ] || { echo "no $build/bin/bench_pass: build it first" >&2; exit 1; }
work=$build/bench-corpus
mkdir -p "$work"
. bench/corpus.sh
MakeCorpus "$work/corpus.bin"
needle=SiftWellEndNeedle7319
mark() { printf '\n%s\n' "$needle"; }

make_input() { # name -> path
  local path=$work/pass-$1.bin
  if [ ! -f "$path" ]; then
    case $1 in
      1x | enc) { cat "$work/corpus.bin"; mark; } > "$path" ;;
      8x) { for _ in 1 2 3 4 5 6 7 8; do cat "$work/corpus.bin"; done; mark; } > "$path" ;;
      run) { head -c 200000000 /dev/zero | tr '\0' A; printf '%s\n' "$needle"; } > "$path" ;;
      text)
        "$build/bin/siftwell-extract" -n 4 -m 0 -c upper,lower,number,space,punct,symbol -x "$(printf '\t')" \
          "$work/corpus.bin" > "$work/runs.txt"
        { for _ in $(seq 65); do cat "$work/runs.txt"; done; mark; } > "$path"
        rm -f "$work/runs.txt"
        ;;
      *) echo "unknown input $1" >&2; exit 2 ;;
    esac
  fi
  echo "$path"
}

export XDG_CONFIG_HOME=$work/xdg # never the user's stored options
for input in "${inputs[@]}"; do
  path=$(make_input "$input")
  modes=(editor file)
  [ "$input" != enc ] || modes=(encodings)
  [ "$input" != text ] || modes=(editor file-commands)
  # Each mode in a process of its own, so that each peak is its own.
  for mode in "${modes[@]}"; do
    bash tests/with-xvfb.sh "$build/bin/bench_pass" "$path" "$needle" "$build/bin/siftwell-extract" \
      "$mode"
    echo
  done
done
