#!/usr/bin/env bash
# Sets up, builds and makes the Debian package build/siftwell_*.deb.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j2
cd "$here/build"
cpack -G DEB
