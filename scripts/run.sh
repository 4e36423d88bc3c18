#!/usr/bin/env bash
# Sets up, builds and starts the program on the files given to it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j2
exec "$here/build/bin/siftwell" "$@"
