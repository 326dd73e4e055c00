#!/usr/bin/env bash
# Sets up, builds and runs the test suite on this machine (build/host).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/host -DSOLVO_WERROR=ON >/dev/null
cmake --build build/host -j2
ctest --test-dir build/host --output-on-failure -j2
