#!/usr/bin/env bash
# Screenshots of the real console under Xvfb with a window manager, talking
# to the device simulator: docs/screenshot-main.png, docs/screenshot-about.png
# and docs/screenshot-scenario.png (the scenario window after a run with a
# failed step, taken by tests/scenario_xvfb.sh).
#   tools/screenshot.sh [BUILD_DIR]     default: build
# It installs icewm for the windows' frames, which makes icewm the system's
# default window manager (x-window-manager) where there was none.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --test icewm imagemagick
build=${1:-build}
console=$build/app/rs232-kalvex
simulator=$build/simulator/kalvex-sim
[ -x "$console" ] && [ -x "$simulator" ] || { echo "build first: $console, $simulator"; exit 1; }

. tests/xvfb.sh
start_display 1024x768x24
start_window_manager
start_simulator "$simulator" --preload 3

"$console" 2>/dev/null &
pids+=($!)
find_main_window
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.3; }
click 68 64    # Otwórz port
click 552 58   # Sprawdź status dysku
click 552 90   # Sprawdź rozmiar dysku
click 552 138  # Sprawdź wolny obszar
click 296 346  # Odczytaj wszystko
sleep 1
mkdir -p docs
import -window "$window" -frame docs/screenshot-main.png

click 576 276  # O programie...
about=$(find_window "O programie..." 10)
sleep 1.5
import -window "$about" -frame docs/screenshot-about.png
KALVEX_SHOT=docs/screenshot-scenario.png tests/scenario_xvfb.sh "$console" "$simulator" \
    tests/scenarios/wrong-size.txt >/dev/null
echo "docs/screenshot-main.png docs/screenshot-about.png docs/screenshot-scenario.png"
