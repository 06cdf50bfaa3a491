#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
#   tools/test.sh                 ordinary build in build-test/
#   KALVEX_SANITIZE=ON tools/test.sh   AddressSanitizer + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

sanitize=${KALVEX_SANITIZE:-OFF}
build=build-test
[ "$sanitize" = ON ] && build=build-asan

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVEX_SANITIZE="$sanitize"
cmake --build "$build" -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2
