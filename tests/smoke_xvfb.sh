#!/usr/bin/env bash
# The real console in a real window under Xvfb, with the device simulator on
# port 2: its windows must ask any window manager for a fixed size and a close
# box only; buttons are pressed at their places on the screen, and the DATA
# view is read back through the clipboard.
#   smoke_xvfb.sh CONSOLE SIMULATOR
# With SMOKE_SCREENSHOT=FILE.png set, the window with the replies is saved
# there (ImageMagick's import).
set -euo pipefail
console=$1
simulator=$2

. "$(dirname "$0")/xvfb.sh"
start_display
start_simulator "$simulator"

step "start the console"
"$console" &
pids+=($!)
find_main_window
echo "window $window at $X,$Y, ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 649 ] && [ "$HEIGHT" = 666 ] || { echo "FAIL: window is ${WIDTH}x$HEIGHT"; exit 1; }

# What a window asks of the window manager: the Motif hints' functions and
# decorations (close, no minimize or maximize) and a fixed size.
fixed_close_only() {
    local motif flags functions decorations hints
    motif=$(xprop -id "$1" -notype _MOTIF_WM_HINTS)
    echo "$2: $motif"
    read -r flags functions decorations _ <<<"$(sed 's/^[^=]*= *//; s/,/ /g' <<<"$motif")"
    # Bit 0 of the functions or decorations means "all but those listed";
    # flags say which of the two are given (0x1 functions, 0x2 decorations).
    ((functions & 0x1)) && functions=$((~functions & 0x3e))
    ((decorations & 0x1)) && decorations=$((~decorations & 0x7e))
    ((flags & 0x2)) || decorations=0x7e
    # Functions: 0x08 minimize, 0x10 maximize, 0x20 close; decorations:
    # 0x20 minimize, 0x40 maximize.
    if ! ((flags & 0x1)) || ((functions & 0x18 || decorations & 0x60)) || ! ((functions & 0x20)); then
        echo "FAIL: $2 may be minimized or maximized, or not closed"
        exit 1
    fi
    hints=$(xprop -id "$1" WM_NORMAL_HINTS)
    if ! grep -q "minimum size: $3" <<<"$hints" || ! grep -q "maximum size: $3" <<<"$hints"; then
        echo "FAIL: $2 is not fixed at $3"
        exit 1
    fi
}
fixed_close_only "$window" "the main window" "649 by 666"

# Centres of the controls in the window's client area, at 96 dpi.
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.2; }
step "press the buttons"
click 68 64    # Command1, "Otwórz port"
click 552 58   # Command10, "Sprawdź status dysku"
click 552 90   # Command11, "Sprawdź rozmiar dysku"
sleep 0.5
if [ -n "${SMOKE_SCREENSHOT:-}" ]; then
    sleep 1  # the clock shows after its first tick
    import -window "$window" -frame "$SMOKE_SCREENSHOT"
fi

step "read the DATA view"
click 324 556  # the DATA view
xdotool key --clearmodifiers ctrl+a ctrl+c
sleep 0.3
data=$(timeout 5 xclip -o -selection clipboard | tr -d '\r')
printf 'DATA view:\n%s\n' "$data"

expected=$'DATA\nOK CF READY\nSIZE 1048576'

step "open the About window"
click 576 276  # Command19, "O programie..."
about=$(find_window "O programie..." 10)
fixed_close_only "$about" "the About window" "448 by 338"
if [ "$data" = "$expected" ]; then
    echo "1 passed, 0 failed"
else
    echo "FAIL: the DATA view does not hold the device's replies"
    exit 1
fi
