#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/app/rs232-kalvex "$@"
