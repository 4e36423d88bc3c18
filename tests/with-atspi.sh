#!/usr/bin/env bash
# Runs a command as a screen reader's world sees it: a D-Bus session bus of
# its own with the accessibility bus on it, an X server of its own, and Qt's
# AT-SPI bridge switched on; the command's exit code is this script's.
#   with-atspi.sh COMMAND [ARG]...
# Exits with 77 (skipped) where the accessibility bus cannot be had.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
launcher=/usr/libexec/at-spi-bus-launcher
if [ "${1:-}" != "--inside" ]; then
  . "$here/need-tools.sh"
  NeedTools with-atspi "$launcher" dbus-run-session Xvfb
  # The accessibility bus's socket goes under XDG_RUNTIME_DIR (else the
  # home folder): one of its own, so that runs at the same time never meet.
  runtime="$(mktemp -d)"
  chmod 700 "$runtime"
  trap 'rm -rf "$runtime"' EXIT
  set +e
  XDG_RUNTIME_DIR="$runtime" dbus-run-session -- bash "$0" --inside "$@"
  rc=$?
  set -e
  exit "$rc"
fi
shift

# The session bus starts the accessibility bus's launcher on the first
# question to it.
if ! dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
  org.a11y.Bus.GetAddress >/dev/null; then
  echo "with-atspi: no accessibility bus on the session bus"
  exit 1
fi
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_ACCESSIBILITY=1
set +e
bash "$here/with-xvfb.sh" "$@"
rc=$?
set -e
exit "$rc"
