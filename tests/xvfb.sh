# Sourced by the tests that run the real console in a real window: a display
# of their own under Xvfb, a window manager, the device simulator on port 2,
# and everything they started ended on exit.
#   . xvfb.sh; start_display [WxHxD]; start_window_manager
#   start_simulator SIMULATOR [OPTION...]; find_main_window
#   show_port_tooltip LOG

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

start_display() {
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024x24}" -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
}

start_window_manager() {
    icewm >/dev/null 2>&1 &
    pids+=($!)
    sleep 1.5
}

# The simulator on a pty that is port 2 of the console; further options go
# to the simulator.
start_simulator() {
    "$1" --fast --quiet "${@:2}" --link "$work/port2" >/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -e "$work/port2" ] && break; sleep 0.05; done
    export RS232_PORT_2="$work/port2"
}

# Waits for the main window; sets window to its id, X and Y to its client
# area's place on the screen and WIDTH and HEIGHT to its size (xdotool's own
# figure counts the window manager's frame twice).
find_main_window() {
    local info
    window=$(timeout 20 xdotool search --sync --name '^RS232 Kalvex v1\.0')
    info=$(xwininfo -id "$window")
    X=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
    Y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
    WIDTH=$(awk '/Width:/ {print $2}' <<<"$info")
    HEIGHT=$(awk '/Height:/ {print $2}' <<<"$info")
}

# Rests the mouse over the label "Nr portu:" (Frame2 at 8,8; the label at
# 8,144 inside it) and waits until the console, started with
# QT_LOGGING_RULES=kalvex.ui.debug=true and its standard error in LOG, has
# written what its tooltip shows there; then prints that.
show_port_tooltip() {
    xdotool mousemove --sync $((X + 30)) $((Y + 160))
    sleep 0.2
    xdotool mousemove --sync $((X + 32)) $((Y + 161))
    for _ in $(seq 50); do grep -q 'port number tooltip' "$1" && break; sleep 0.1; done
    sleep 0.5
    grep -q 'port number tooltip' "$1" || { echo "FAIL: no tooltip was shown"; exit 1; }
    sed -n '/port number tooltip/,$p' "$1"
}
