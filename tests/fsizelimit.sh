#!/usr/bin/env bash
# The program under a file size limit, which fails writes as a full disk
# does and by default ends the writer with SIGXFSZ: a text past its memory
# budget cannot go to disk. The program must say so and go on.
#   fsizelimit.sh BUILD_DIR
# The part that runs under Xvfb:
#   fsizelimit.sh --inside PROGRAM FILE
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  SIFTWELL_TEXT_BUDGET=1048576 prlimit --fsize=262144 "$2" "$3" &
  pid=$!
  box=""
  for _ in $(seq 1 150); do
    box="$(xdotool search --onlyvisible --name '^Not enough disk space$' 2>/dev/null | head -n 1 || true)"
    [ -n "$box" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if ! kill -0 "$pid" 2>/dev/null; then
    set +e
    wait "$pid"
    echo "fsizelimit: the program ended (exit code $?)"
    exit 1
  fi
  if [ -z "$box" ]; then
    echo "fsizelimit: no \"Not enough disk space\" message"
    kill "$pid"
    exit 1
  fi
  # OK, and the program is still there with its window.
  # The box is modal and has the keyboard.
  xdotool key Return
  sleep 1
  if ! kill -0 "$pid" 2>/dev/null || [ -z "$(xdotool search --onlyvisible --name '^Sift Well$' 2>/dev/null)" ]; then
    echo "fsizelimit: the program did not go on after the message"
    exit 1
  fi
  echo "fsizelimit: message shown, program goes on"
  kill "$pid"
  exit 0
fi

build="$(cd "$1" && pwd)"
. "$(dirname "$0")/need-tools.sh"
NeedTools fsizelimit Xvfb xdotool prlimit
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# 10 MB of runs of letters: ten times the budget.
awk 'BEGIN { for (i = 0; i < 400000; i++) print "abcdefghijklmnopqrstuvwxyz" }' >"$work/lines.txt"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
bash "$(dirname "$0")/with-xvfb.sh" bash "$0" --inside "$build/bin/siftwell" "$work/lines.txt"
