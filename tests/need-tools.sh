# Sourced by the tests that need programs of the desktop.
# NeedTools NAME TOOL...: the test is skipped (exit code 77, which CTest
# counts as skipped) when one of the tools is missing.
NeedTools() {
  local name=$1 tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$name: $tool is missing (scripts/setup.sh installs it); skipped"
      exit 77
    fi
  done
}
