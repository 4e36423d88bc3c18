#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it: the desktop
# entry, the AppStream metadata, lintian, the manual pages, and the programs
# as the package installs them, run from a root the package is unpacked into.
#   packaging/check.sh [BUILD_DIR]      (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="$(cd "${1:-build}" && pwd)"

failed=0
fail() {
  echo "package check FAILED: $*"
  failed=1
}

# The package, and the name it must have: the product's version, the Debian
# revision of the changelog.
made="$(cd "$build" && cpack -G DEB)"
deb="$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$made")"
[ -f "$deb" ] || { echo "$made"; echo "package check FAILED: cpack made no package"; exit 1; }
version="$(dpkg-parsechangelog -l packaging/changelog -S Version)"
release="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' packaging/*.metainfo.xml)"
echo "package: $deb"
[ "$(basename "$deb")" = "siftwell_${version}_amd64.deb" ] ||
  fail "$(basename "$deb") is not siftwell_${version}_amd64.deb, the changelog's version"
[ "${version%-*}" = "$release" ] || fail "the metainfo's release $release is not ${version%-*}"
dpkg-deb -f "$deb" Depends

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
inst="$work/root"
id=org.example.maelbrook.SiftWell

echo "== desktop-file-validate"
if ! out="$(desktop-file-validate "$inst/usr/share/applications/$id.desktop" 2>&1)" ||
  [ -n "$out" ]; then
  echo "$out"
  fail "desktop-file-validate"
fi

echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$inst/usr/share/metainfo/$id.metainfo.xml" ||
  fail "appstreamcli validate"

echo "== lintian"
status=0
out="$(lintian --fail-on error --display-level ">=warning" "$deb" 2>&1)" || status=$?
grep -v '^running with root privileges is not recommended!$' <<<"$out" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"

echo "== man --warnings"
for page in siftwell siftwell-extract; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$inst/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  if [ -n "$warnings" ]; then
    echo "$warnings"
    fail "man --warnings on $page(1)"
  else
    echo "$page(1): no warnings"
  fi
done

echo "== installed programs"
export XDG_CONFIG_HOME="$work/config"
extract="$inst/usr/bin/siftwell-extract"
shown="$("$extract" --version)" || fail "siftwell-extract --version failed"
[ "$shown" = "siftwell-extract ${version%-*}" ] || fail "siftwell-extract --version says '$shown'"
echo "$shown"
printf '\001\002Realwindow\000\377sampletext\003ab\ncdefgh' >"$work/sample.bin"
lines="$("$extract" "$work/sample.bin")" || fail "siftwell-extract on a file failed"
[ "$lines" = $'Realwindow\nsampletext\ncdefgh' ] || fail "siftwell-extract gave '$lines'"
echo "siftwell-extract: $(wc -l <<<"$lines") lines from the sample"

[ "$(readlink "$inst/usr/bin/siftwell")" = ../lib/siftwell/siftwell ] ||
  fail "/usr/bin/siftwell is not a link to ../lib/siftwell/siftwell"
# Started through the link, the program finds its help beside itself.
export QT_LOGGING_RULES="qt.qpa.*=false"
SIFTWELL_HELP="$inst/usr/lib/siftwell/siftwell.qhc" \
  bash tests/with-xvfb.sh bash tests/realwindow.sh --inside "$inst/usr/bin/siftwell" \
  "$work/sample.bin" || fail "siftwell from the package under Xvfb"

if [ "$failed" -ne 0 ]; then
  echo "package check: FAILED"
  exit 1
fi
echo "package check: all passed"
