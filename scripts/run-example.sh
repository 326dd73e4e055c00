#!/usr/bin/env bash
# Sets up, builds and installs the library, then builds and runs the example application
# against the installed package.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/host >/dev/null
cmake --build build/host -j2
cmake --install build/host --prefix build/install >/dev/null
cmake -S tools/example -B build/example -DCMAKE_PREFIX_PATH="$PWD/build/install" >/dev/null
cmake --build build/example >/dev/null
build/example/solvo-support-example
