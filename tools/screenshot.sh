#!/usr/bin/env bash
# Screenshots of the real console under Xvfb with a window manager, talking
# to the device simulator: docs/screenshot-main.png and docs/screenshot-about.png.
#   tools/screenshot.sh [BUILD_DIR]     default: build
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
console=$build/app/rs232-kalvex
simulator=$build/tools/simulator/kalvex-sim
[ -x "$console" ] && [ -x "$simulator" ] || { echo "build first: $console, $simulator"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    # The last started first, each given a moment to end: the console closes
    # its port and removes its lock file while its display is still there.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || continue
        for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
icewm >/dev/null 2>&1 &
pids+=($!)
sleep 1.5

"$simulator" --fast --quiet --preload 3 --link "$work/port2" >/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/port2" ] && break; sleep 0.05; done

RS232_PORT_2="$work/port2" "$console" 2>/dev/null &
pids+=($!)
window=$(timeout 20 xdotool search --sync --name '^RS232 Kalvex v1\.0')
sleep 1.5  # the clock shows after its first tick
# The client area's place on the screen (xdotool's own figure counts the
# window manager's frame twice).
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
WIDTH=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
HEIGHT=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
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
about=$(timeout 10 xdotool search --sync --name '^O programie\.\.\.$' | head -n 1)
sleep 1.5
import -window "$about" -frame docs/screenshot-about.png
echo "docs/screenshot-main.png docs/screenshot-about.png"
