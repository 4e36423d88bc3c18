# Sourced by the benchmarks: MakeCorpus FILE makes FILE, about 480 MB of this
# machine's shared libraries in a fixed order, unless it is there already.
# Such inputs live under the build folder and are never committed.
MakeCorpus() {
  local corpus=$1 target=$((480 * 1000 * 1000))
  if [ -f "$corpus" ] && [ "$(stat -L -c %s "$corpus")" -ge "$target" ]; then return; fi
  : > "$corpus"
  find /usr/lib /usr/lib64 -xdev -type f -name '*.so*' -size +16k 2>/dev/null | LC_ALL=C sort |
    while read -r f; do
      [ "$(stat -L -c %s "$corpus")" -ge "$target" ] && break
      cat "$f" >> "$corpus" 2>/dev/null || true
    done
}
