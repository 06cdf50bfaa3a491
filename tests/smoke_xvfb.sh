#!/usr/bin/env bash
# The real console in a real window under Xvfb, with the device simulator on
# port 2: buttons are pressed at their places on the screen, and the DATA
# view is read back through the clipboard.
#   smoke_xvfb.sh CONSOLE SIMULATOR
set -euo pipefail
console=$1
simulator=$2

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb

"$simulator" --fast --quiet --link "$work/port2" >/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/port2" ] && break; sleep 0.05; done

RS232_PORT_2="$work/port2" "$console" &
pids+=($!)
window=$(timeout 20 xdotool search --sync --name '^RS232 Kalvex v1\.0')
# The client area's place on the screen (xdotool's own figure counts the
# window manager's frame twice).
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
WIDTH=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
HEIGHT=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
echo "window $window at $X,$Y, ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 649 ] && [ "$HEIGHT" = 666 ] || { echo "FAIL: window is ${WIDTH}x$HEIGHT"; exit 1; }

# Centres of the controls in the window's client area, at 96 dpi.
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.2; }
click 68 64    # Command1, "Otwórz port"
click 552 58   # Command10, "Sprawdź status dysku"
click 552 90   # Command11, "Sprawdź rozmiar dysku"
sleep 0.5

click 324 556  # the DATA view
xdotool key --clearmodifiers ctrl+a ctrl+c
sleep 0.3
data=$(timeout 5 xclip -o -selection clipboard | tr -d '\r')
printf 'DATA view:\n%s\n' "$data"

expected=$'DATA\nOK CF READY\nSIZE 1048576'
if [ "$data" = "$expected" ]; then
    echo "1 passed, 0 failed"
else
    echo "FAIL: the DATA view does not hold the device's replies"
    exit 1
fi
