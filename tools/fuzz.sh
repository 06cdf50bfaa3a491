#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   tools/fuzz.sh [SECONDS]     default 60 seconds a target
# The corpus grows in build-fuzz/corpus/<target> and is reused by later runs;
# a crash leaves its input in build-fuzz/ (crash-*), and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

tools/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALVEX_FUZZ=ON -DKALVEX_BUILD_TESTS=OFF
cmake --build build-fuzz -j"$(nproc)" --target fuzz_portnumber fuzz_dataview fuzz_scenario

export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
for target in fuzz_portnumber fuzz_dataview fuzz_scenario; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "== $target, $seconds s"
    (cd build-fuzz && "./tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
        -rss_limit_mb=4096 -print_final_stats=1 "../$corpus" 2>&1 | tail -n 12)
done
