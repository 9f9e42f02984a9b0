#!/usr/bin/env bash
# Sets up the machine, builds everything in build/ and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLO_BUILD_TESTS=ON -DVEXLO_BUILD_BENCH=ON
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 120

# The same core, cross-built for Windows and tested under Wine.
tools/test-windows.sh
