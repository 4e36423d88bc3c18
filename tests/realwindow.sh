#!/usr/bin/env bash
# The program in a real window: installs the build into a scratch prefix,
# starts the installed program under Xvfb with a file on its command line,
# waits for its window, closes it with File, Exit typed on the keyboard, and
# checks the exit code and the settings file it wrote.
#   realwindow.sh BUILD_DIR
# The part that runs under Xvfb serves the package check as well:
#   realwindow.sh --inside PROGRAM FILE
# With SIFTWELL_HELP set to a help collection, it first opens Help, Contents
# and checks that the viewer opened that collection and shows a page.
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  prog="$2"
  sample="$3"
  "$prog" "$sample" &
  pid=$!
  # The frame appears first; the command-line file is read while the
  # progress dialog is up, and then the frame takes the keyboard again.
  main=""
  for _ in $(seq 1 150); do
    main="$(xdotool search --onlyvisible --name '^Sift Well$' 2>/dev/null | head -n 1 || true)"
    if [ -n "$main" ] && [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$main" ]; then
      break
    fi
    main=""
    sleep 0.2
  done
  if [ -z "$main" ]; then
    echo "realwindow: the main window did not appear with the keyboard focus"
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  if [ -n "${SIFTWELL_SHOT:-}" ]; then
    import -window root "$SIFTWELL_SHOT"
  fi
  if [ -n "${SIFTWELL_HELP:-}" ]; then
    # Help, Contents: Alt+H opens the Help menu, C is its Contents.
    xdotool key --delay 100 alt+h
    sleep 0.5
    xdotool key c
    viewer=""
    opened=""
    for _ in $(seq 1 100); do
      viewer="$(xdotool search --onlyvisible --name '^Sift Well Help$' 2>/dev/null | head -n 1 || true)"
      for fd in /proc/"$pid"/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null || true)" = "$SIFTWELL_HELP" ] && opened=yes
      done
      [ -n "$viewer" ] && [ -n "$opened" ] && break
      sleep 0.2
    done
    if [ -z "$viewer" ] || [ -z "$opened" ]; then
      echo "realwindow: no help viewer on $SIFTWELL_HELP (viewer '${viewer}', opened '${opened}')"
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
    # The page pane is blank until a page of the collection is shown in it.
    shot="$(mktemp --suffix=.png)"
    colours=1
    for _ in $(seq 1 50); do
      import -window "$viewer" "$shot"
      colours="$(convert "$shot" -crop 400x300+300+60 +repage -format %k info:)"
      [ "$colours" -gt 1 ] && break
      sleep 0.2
    done
    rm -f "$shot"
    if [ "$colours" -le 1 ]; then
      echo "realwindow: the help viewer shows no page"
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
    echo "realwindow: help viewer shows a page of $SIFTWELL_HELP"
    xdotool windowfocus --sync "$main"
    sleep 0.3
  fi
  # File, Exit: Alt+F opens the active document's File menu, X is its Exit.
  xdotool key --delay 100 alt+f
  sleep 0.5
  xdotool key x
  for _ in $(seq 1 150); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "realwindow: the program did not end after File, Exit"
    kill "$pid"
    exit 1
  fi
  set +e
  wait "$pid"
  rc=$?
  set -e
  echo "realwindow: exit code $rc"
  exit "$rc"
fi

build="$(cd "$1" && pwd)"
. "$(dirname "$0")/need-tools.sh"
NeedTools realwindow Xvfb xdotool

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >/dev/null
printf '\001\002Realwindow\000\377sampletext\003' >"$work/sample.bin"

export XDG_CONFIG_HOME="$work/config"
bash "$(dirname "$0")/with-xvfb.sh" bash "$0" --inside "$work/usr/bin/siftwell" "$work/sample.bin"

conf="$XDG_CONFIG_HOME/Maelbrook/Siftwell.conf"
if [ ! -f "$conf" ]; then
  echo "realwindow: no settings file at $conf"
  exit 1
fi
expected='[Options]
Upper=1
Lower=1
MinChar=4
MaxChar=0
Number=0
Space=0
Punct=0
Symbol=0
ISO=0
Other='
for line in $expected; do
  if ! grep -qxF -- "$line" "$conf"; then
    echo "realwindow: settings file lacks '$line':"
    cat "$conf"
    exit 1
  fi
done
echo "realwindow: settings written"
