#!/usr/bin/env bash
# The program as a screen reader reads it: started under Xvfb on a D-Bus
# session of its own with the accessibility bus (tests/with-atspi.sh), with
# a file on its command line, then read and edited by a real AT-SPI client
# (tests/atspi_client.py, pyatspi).
#   atspi.sh BUILD_DIR [--dump]
# With --dump the client prints the accessible tree. Skips (exit 77) where
# pyatspi or the accessibility bus is missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# pyatspi comes with the system's Python, not with another one on the path.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

if [ "${1:-}" = "--inside" ]; then
  prog="$2"
  sample="$3"
  shift 3
  "$prog" "$sample" &
  pid=$!
  set +e
  "$python" "$here/atspi_client.py" "$pid" $'Realwindow\nsampletext' "$@"
  rc=$?
  set -e
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  exit "$rc"
fi

build="$(cd "$1" && pwd)"
shift
if ! "$python" -c 'import pyatspi' 2>/dev/null; then
  echo "atspi: pyatspi is missing (scripts/setup.sh installs python3-pyatspi); skipped"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '\001\002Realwindow\000\377sampletext\003' >"$work/sample.bin"
export XDG_CONFIG_HOME="$work/config"
bash "$here/with-atspi.sh" bash "$0" --inside "$build/bin/siftwell" "$work/sample.bin" "$@"
