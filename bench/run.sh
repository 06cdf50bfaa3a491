#!/usr/bin/env bash
# The console's performance benchmark: installs what is missing, builds with
# optimisation, runs every measurement in the real main window on an Xvfb
# display, and prints one Markdown table beside the literal baseline.
#   bench/run.sh [--quick] [--json FILE]
set -euo pipefail
bench_packages=()
. "$(dirname "$0")/display.sh"

build-bench/bench/kalvex-bench "$@"
