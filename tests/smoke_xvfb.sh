#!/usr/bin/env bash
# The real console in a real window under Xvfb and a window manager, with the
# device simulator on port 2: the window manager must see fixed-size windows
# with a close box only; buttons are pressed at their places on the screen,
# and the DATA view is read back through the clipboard.
#   smoke_xvfb.sh CONSOLE SIMULATOR
# With SMOKE_SCREENSHOT=FILE.png set, the window with the replies is saved
# there (ImageMagick's import).
set -euo pipefail
console=$1
simulator=$2

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

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
icewm >/dev/null 2>&1 &
pids+=($!)
sleep 1.5

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

# What the window manager lets the operator do with a window.
fixed_close_only() {
    local actions hints
    actions=$(xprop -id "$1" _NET_WM_ALLOWED_ACTIONS)
    hints=$(xprop -id "$1" WM_NORMAL_HINTS)
    echo "$actions"
    if grep -qE 'MINIMIZE|MAXIMIZE' <<<"$actions" || ! grep -q CLOSE <<<"$actions"; then
        echo "FAIL: $2 may be minimized or maximized, or not closed"
        exit 1
    fi
    if ! grep -q "minimum size: $3" <<<"$hints" || ! grep -q "maximum size: $3" <<<"$hints"; then
        echo "FAIL: $2 is not fixed at $3"
        exit 1
    fi
}
fixed_close_only "$window" "the main window" "649 by 666"

# Centres of the controls in the window's client area, at 96 dpi.
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.2; }
click 68 64    # Command1, "Otwórz port"
click 552 58   # Command10, "Sprawdź status dysku"
click 552 90   # Command11, "Sprawdź rozmiar dysku"
sleep 0.5
if [ -n "${SMOKE_SCREENSHOT:-}" ]; then
    sleep 1  # the clock shows after its first tick
    import -window "$window" -frame "$SMOKE_SCREENSHOT"
fi

click 324 556  # the DATA view
xdotool key --clearmodifiers ctrl+a ctrl+c
sleep 0.3
data=$(timeout 5 xclip -o -selection clipboard | tr -d '\r')
printf 'DATA view:\n%s\n' "$data"

expected=$'DATA\nOK CF READY\nSIZE 1048576'

click 576 276  # Command19, "O programie..."
about=$(timeout 10 xdotool search --sync --name '^O programie\.\.\.$' | head -n 1)
fixed_close_only "$about" "the About window" "448 by 338"
if [ "$data" = "$expected" ]; then
    echo "1 passed, 0 failed"
else
    echo "FAIL: the DATA view does not hold the device's replies"
    exit 1
fi
