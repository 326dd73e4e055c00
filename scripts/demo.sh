#!/usr/bin/env bash
# Sets up, builds and installs the library with its command line, then runs the demo on the
# shipped bunny scan. Arguments go to the demo (for example --out DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# A build of its own without tests and benchmarks: the demo needs only the library and the program.
cmake -S . -B build/demo -DSOLVO_BUILD_TESTS=OFF -DSOLVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/demo -j2
cmake --install build/demo --prefix build/install >/dev/null
build/install/bin/solvo-support demo "$@"
