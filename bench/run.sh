#!/usr/bin/env bash
# The console's performance benchmark: installs what is missing, builds with
# optimisation, runs every measurement in the real main window on an Xvfb
# display, and prints one Markdown table beside the literal baseline.
#   bench/run.sh [--quick] [--json FILE]
# Where tools/package-windows.sh has made the Windows build (build-windows/),
# the whole run is under Wine 10 (tests/wine/root.sh), and the table gives
# the zip's and the installer's sizes, the start-up under Wine in a Wine
# prefix of the run's own, and the ingest of a 20 MB flood under Wine beside
# the Linux build's, taken the same way (bench/wineingest.sh); elsewhere
# those rows say "not built".
set -euo pipefail
cd "$(dirname "$0")/.."
windows_build=
if compgen -G 'build-windows/rs232-kalvex-*-setup.exe' >/dev/null; then
    [ -n "${KALVEX_WINE_ROOT:-}" ] || exec tests/wine/root.sh bench/run.sh "$@"
    windows_build=build-windows
fi
bench_packages=(xdotool x11-utils)
. bench/display.sh

windows=()
if [ -n "$windows_build" ]; then
    windows=(--windows "$windows_build")
    runs=3
    [[ " $* " == *" --quick "* ]] && runs=1
    program=$(find "$windows_build/stage" -name '*.exe' | head -n 1)
    echo "The ingest under Wine 10 and on Linux, $runs floods each (bench/wineingest.sh)" >&2
    bench/wineingest.sh build-bench/bench/kalvex-bench build-bench/app/rs232-kalvex \
        "$program" 20000000 "$runs" "$work/wineingest.json" >&2 ||
        echo "bench/wineingest.sh failed; its rows say so" >&2
    windows+=(--windows-ingest "$work/wineingest.json")
    . tests/wine/wine.sh
    make_wine_prefix "$work/wine" x11
    # Kept running, so that each start times the program, not Wine's own
    # (once the one that made the prefix has ended).
    wineserver -w
    wineserver -p
    trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
fi
build-bench/bench/kalvex-bench ${windows[@]+"${windows[@]}"} "$@"
