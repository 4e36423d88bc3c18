#!/usr/bin/env bash
# Runs a command with DISPLAY set to an X server of its own, which is ended
# afterwards; the command's exit code is this script's.
#   with-xvfb.sh COMMAND [ARG]...
# The server picks a free display itself and names it when it is ready, so
# that another X server started at the same moment cannot take the number.
set -euo pipefail
work="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  cat "$work/xvfb.log" >&2
  echo "with-xvfb: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
unset QT_QPA_PLATFORM
set +e
"$@"
rc=$?
set -e
exit "$rc"
