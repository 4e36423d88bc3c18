#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build and the checks of the
# Debian package made from it, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of each
# fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
bash packaging/check.sh build
bash scripts/sanitize.sh build-asan
bash scripts/fuzz.sh 60 build-fuzz
