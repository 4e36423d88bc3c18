#!/usr/bin/env bash
# Throughput of siftwell-extract beside GNU strings, llvm-strings and wc -l
# over one corpus of about 480 MB made from this machine's shared libraries,
# all in the same run, plus the peak memory of siftwell-extract on the whole
# corpus and on a tenth of it. Then ratios from paired runs (the two commands
# in turn, the median of the ratios of each pair, which holds when a shared
# machine's speed drifts): siftwell-extract to wc -l, -t x to plain output,
# and the corpus in eight parts in one call to one call per part.
#
#   bench/bench_extract.sh [BUILD_DIR]      (default: build)
#
# The corpus lives in BUILD_DIR/bench-corpus and is never committed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tool=$build/bin/siftwell-extract
[ -x "$tool" ] || { echo "no $tool: build the target siftwell-extract first" >&2; exit 1; }
work=$build/bench-corpus
mkdir -p "$work"
corpus=$work/corpus.bin

. bench/corpus.sh
MakeCorpus "$corpus"
size=$(stat -c %s "$corpus")
head -c $((size / 10)) "$corpus" > "$work/tenth.bin"

# Everyone reads the corpus from the page cache.
cat "$corpus" > /dev/null

export XDG_CONFIG_HOME=$work/xdg # never the user's stored options
args=(-n 4 -m 0 -c upper,lower,number,space,punct,symbol -x $'\t')

seconds() { # best wall time of five runs of "$@" > /dev/null
  local best="" t0 t1
  for _ in 1 2 3 4 5; do
    t0=$(date +%s%N)
    "$@" > /dev/null
    t1=$(date +%s%N)
    if [ -z "$best" ] || [ $((t1 - t0)) -lt "$best" ]; then best=$((t1 - t0)); fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

row() { # name seconds
  awk -v name="$1" -v s="$2" -v size="$size" \
    'BEGIN { printf "%-34s %8.3f s %9.1f MB/s\n", name, s, size / s / 1e6 }'
}

echo "corpus: $corpus, $size bytes"
t_wc=$(seconds wc -l "$corpus")
t_gnu=$(seconds strings -a -n 5 "$corpus")
t_llvm=""
if command -v llvm-strings > /dev/null; then t_llvm=$(seconds llvm-strings -a -n 5 "$corpus"); fi
t_sw=$(seconds "$tool" "${args[@]}" "$corpus")
row "wc -l (read limit)" "$t_wc"
row "GNU strings -a -n 5" "$t_gnu"
[ -n "$t_llvm" ] && row "llvm-strings -a -n 5" "$t_llvm"
row "siftwell-extract -n 4" "$t_sw"
awk -v g="$t_gnu" -v s="$t_sw" 'BEGIN { printf "siftwell-extract / GNU strings: %.1f times\n", g / s }'

strings -a -n 5 "$corpus" > "$work/gnu.txt"
"$tool" "${args[@]}" "$corpus" > "$work/sw.txt"
if cmp -s "$work/gnu.txt" "$work/sw.txt"; then
  echo "output: identical to GNU strings ($(stat -c %s "$work/sw.txt") bytes)"
else
  echo "output: DIFFERS from GNU strings"
  cmp "$work/gnu.txt" "$work/sw.txt" || true
fi

peak() { /usr/bin/time -f %M "$tool" "${args[@]}" "$1" 2>&1 > /dev/null | tail -1; }
echo "peak RSS of siftwell-extract: whole corpus $(peak "$corpus") KB, a tenth $(peak "$work/tenth.bin") KB"

ns() { # wall time of one run of "$@" > /dev/null, in nanoseconds
  local t0
  t0=$(date +%s%N)
  "$@" > /dev/null
  echo $(($(date +%s%N) - t0))
}

pairs=${PAIRS:-15}
paired() { # name -- A... -- B...: medians of A, B and of A/B over $pairs pairs
  local name=$1 a=() b=() ratios=() ta=() tb=() i x y
  shift 2
  while [ "$1" != -- ]; do a+=("$1"); shift; done
  shift
  b=("$@")
  "${a[@]}" > /dev/null; "${b[@]}" > /dev/null # warm-up
  for ((i = 0; i < pairs; i++)); do
    x=$(ns "${a[@]}")
    y=$(ns "${b[@]}")
    ta+=("$x") tb+=("$y")
    ratios+=("$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.4f", x / y }')")
  done
  median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  awk -v name="$name" -v a="$(median "${ta[@]}")" -v b="$(median "${tb[@]}")" \
    -v r="$(median "${ratios[@]}")" -v n="$pairs" \
    'BEGIN { printf "%-34s %7.3f s vs %7.3f s  ratio %.3f (median of %d pairs)\n", name, a / 1e9, b / 1e9, r, n }'
}

one_by_one() { # [-t x] FILE...: one call per file
  local extra=()
  if [ "$1" = -t ]; then extra=(-t "$2"); shift 2; fi
  for f; do "$tool" "${args[@]}" "${extra[@]}" "$f"; done
}
parts=()
for i in 0 1 2 3 4 5 6 7; do parts+=("$work/part$i.bin"); done
if [ ! -f "${parts[7]}" ] || [ "$(cat "${parts[@]}" | wc -c)" -ne "$size" ]; then
  split -n 8 -d -a 1 --additional-suffix=.bin "$corpus" "$work/part"
fi
cat "${parts[@]}" > /dev/null

echo "paired runs, wall time, output to /dev/null:"
paired "siftwell-extract / wc -l" -- "$tool" "${args[@]}" "$corpus" -- wc -l "$corpus"
paired "-t x / plain" -- "$tool" "${args[@]}" -t x "$corpus" -- "$tool" "${args[@]}" "$corpus"
paired "8 parts in one call / one by one" -- "$tool" "${args[@]}" "${parts[@]}" -- \
  one_by_one "${parts[@]}"
paired "8 parts -t x, one call / one by one" -- "$tool" "${args[@]}" -t x "${parts[@]}" -- \
  one_by_one -t x "${parts[@]}"

# Other encodings: GNU strings reads one per pass.
paired "-e l / GNU strings -e l" -- "$tool" "${args[@]}" -e l "$corpus" -- \
  strings -a -n 5 -e l "$corpus"
paired "-e 8,16le / -e 8" -- "$tool" "${args[@]}" -e 8,16le "$corpus" -- "$tool" "${args[@]}" "$corpus"
t_utf8=$(seconds "$tool" "${args[@]}" -e utf8 "$corpus")
t_utf8iso=$(seconds "$tool" -n 4 -m 0 -c upper,lower,number,space,punct,symbol,iso -e utf8 "$corpus")
row "-e utf8 (ASCII classes)" "$t_utf8"
row "-e utf8 with iso" "$t_utf8iso"
