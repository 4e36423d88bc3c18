# shellcheck shell=bash disable=SC2034 # what is set here is read by the scripts
# Sourced by every test script of siftwell-extract, with the script's own
# arguments: the tool under test, a work folder removed on exit, the pass,
# fail and skip counters and their report.
set -u
tool=${1:?usage: $(basename "$0") SIFTWELL_EXTRACT}
work=$(mktemp -d)
passed=0 failed=0 skipped=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
skip() { echo "SKIP: $*"; skipped=$((skipped + 1)); }

# on_exit COMMAND: run COMMAND on exit, before the work folder is removed
# (a writer to stop, permissions to give back).
exit_commands=()
on_exit() { exit_commands+=("$1"); }
run_exit_commands() {
  local command
  for command in "${exit_commands[@]}"; do eval "$command"; done
  rm -rf "$work"
}
trap run_exit_commands EXIT

# private_settings: the settings folder is the script's own and starts
# empty, so that no user's stored options change what the tool gives.
private_settings() {
  : "${XDG_CONFIG_HOME:?a private settings folder is needed}"
  rm -rf "$XDG_CONFIG_HOME"
  mkdir -p "$XDG_CONFIG_HOME"
}

# needs COMMAND WHAT: exit 77 (skipped) when COMMAND is not installed.
needs() { command -v "$1" > /dev/null || { echo "$2 is not installed"; exit 77; }; }

# report: the counts; the script's exit status.
report() {
  echo "$(basename "$0" .sh): $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
}
