#!/usr/bin/env bash
# The console's performance benchmark: installs what is missing, builds with
# optimisation, runs every measurement in the real main window on an Xvfb
# display, and prints one Markdown table beside the literal baseline.
#   bench/run.sh [--quick] [--json FILE]
# Where tools/package-windows.sh has made the Windows build (build-windows/),
# the table gives its zip's and installer's sizes and its start-up under Wine,
# in a Wine prefix of the run's own; elsewhere those rows say "not built".
set -euo pipefail
bench_packages=()
. "$(dirname "$0")/display.sh"

windows=()
if compgen -G 'build-windows/rs232-kalvex-*-setup.exe' >/dev/null; then
    windows=(--windows build-windows)
    if command -v wine >/dev/null; then
        . tests/wine/wine.sh
        make_wine_prefix "$work/wine" x11
        # Kept running, so that each start times the program, not Wine's own
        # (once the one that made the prefix has ended).
        wineserver -w
        wineserver -p
        trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
    fi
fi
build-bench/bench/kalvex-bench ${windows[@]+"${windows[@]}"} "$@"
