# Sourced by the scripts that run the real console in a real window: a
# display of their own under Xvfb, the device simulator on port 2, and
# everything they started ended on exit.
#   . xvfb.sh; start_display [WxHxD]; start_simulator SIMULATOR [OPTION...]
#   "$console" & pids+=($!); find_main_window; find_window TITLE
#   step "what comes next"    named in the report if the script stops there
#   show_port_tooltip LOG     the tooltip of "Nr portu:", as the console logged it
#   report WHAT yes|no        an "ok:" or "FAIL:" line, counted in passed and failed
#   click X Y [BUTTON], keys KEY...   the operator's hands, in the main window
#   view, open_port, status, clear_data, read_all   its controls, by place
#   copy_all FILE             the DATA view's whole text, through the clipboard
#   program_title VERSION     the title of the console's boxes for that version
#   choose_file TITLE PATH    PATH typed into the file dialog so titled, and taken
#
# The tests need no window manager, and the test tools install none: a window
# manager's package makes itself the system's default (x-window-manager).
# find_main_window gives the main window the keyboard focus, as a window
# manager does with a new window; a click into a window activates it, as Qt
# does without one. start_window_manager starts icewm where it is installed,
# for pictures with the window's frame (tools/screenshot.sh).
#
# A script that stops on a failing command (set -e) says at which step, where,
# and why. The console runs in the caller's locale, whatever it is: the
# scripts themselves compare window titles byte for byte, as UTF-8.

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

step_name="starting"
step() { step_name=$*; }
stopped() {
    local status=$1 command=$2 where=$3 why
    # A command substitution's subshell fails first; its caller reports.
    [ "$BASHPID" = "$$" ] || return 0
    case $status in
    124) why="timed out" ;;
    127) why="command not found" ;;
    *) why="exit status $status" ;;
    esac
    echo "FAIL: stopped at step \"$step_name\" ($where): $command: $why"
}
set -E
trap 'stopped $? "$BASH_COMMAND" "${BASH_SOURCE[0]##*/}:$LINENO"' ERR

start_display() {
    step "start Xvfb"
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024x24}" -nolisten tcp 3>"$work/display" \
        2>"$work/xvfb.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    if [ ! -s "$work/display" ]; then
        echo "Xvfb did not start:"
        cat "$work/xvfb.log"
        return 1
    fi
    export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
    # A plain X display, whatever desktop the tests were started from: there
    # Qt takes the desktop's platform theme (GTK's on GNOME, where Qt came
    # with its recommended packages), with GTK's own file dialogs.
    unset XDG_CURRENT_DESKTOP DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION \
        QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE
}

start_window_manager() {
    step "start a window manager"
    if ! command -v icewm >/dev/null; then
        echo "no window manager (icewm) installed: going on without one"
        return 0
    fi
    icewm >/dev/null 2>&1 &
    pids+=($!)
    sleep 1.5
}

# The simulator on a pty that is port 2 of the console; further options go
# to the simulator.
start_simulator() {
    step "start the device simulator"
    "$1" --fast --quiet "${@:2}" --link "$work/port2" >/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -e "$work/port2" ] && break; sleep 0.05; done
    [ -e "$work/port2" ] || { echo "the simulator made no $work/port2"; return 1; }
    export RS232_PORT_2="$work/port2"
}

# The title of the console's message boxes for a version MAJOR.MINOR.PATCH
# ("1.0.0" gives "RS232 Kalvex v1.0"), made as resources/version.cmake makes
# it; the main window's title is this and the author's credit.
program_title() {
    local major=${1%%.*} rest=${1#*.}
    echo "RS232 Kalvex v$major.${rest%%.*}"
}

# Prints the id of the window whose title is exactly TITLE, waiting for it up
# to SECONDS (20 by default). When none comes, lists the titles there are,
# both as the window manager reads them (WM_NAME) and as UTF-8
# (_NET_WM_NAME), so that a title in the wrong encoding shows.
find_window() {
    find_window_matching "^$(sed 's/[][\\.*^$+?(){}|]/\\&/g' <<<"$1")\$" "${@:2}"
}

# The same for the window whose whole title matches the extended regular
# expression PATTERN.
find_window_matching() {
    local pattern=$1 seconds=${2:-20} id
    if id=$(timeout "$seconds" xdotool search --sync --name "$pattern" | head -n 1) &&
        [ -n "$id" ]; then
        echo "$id"
        return 0
    fi
    echo "no window titled /$pattern/ within $seconds s; the titled windows:" >&2
    for id in $(xdotool search --name . 2>/dev/null); do
        echo "  $id: $(xprop -id "$id" WM_NAME _NET_WM_NAME 2>&1 | tr '\n' ' ')" >&2
    done
    return 1
}

# Waits for the main window and gives it the keyboard focus; sets window to
# its id, X and Y to its client area's place on the screen and WIDTH and
# HEIGHT to its size (xdotool's own figure counts a window manager's frame
# twice).
find_main_window() {
    local info
    step "wait for the main window"
    # The version in the title is the build's own (the design test checks
    # it); the rest is matched whole, so that a garbled "ó" shows.
    window=$(find_window_matching '^RS232 Kalvex v[0-9]+\.[0-9]+ \(c\) Zespół Kalvex$')
    xdotool windowfocus --sync "$window"
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
    step "hover over \"Nr portu:\""
    xdotool mousemove --sync $((X + 30)) $((Y + 160))
    sleep 0.2
    xdotool mousemove --sync $((X + 32)) $((Y + 161))
    for _ in $(seq 50); do grep -q 'port number tooltip' "$1" && break; sleep 0.1; done
    sleep 0.5
    grep -q 'port number tooltip' "$1" || { echo "FAIL: no tooltip was shown"; exit 1; }
    sed -n '/port number tooltip/,$p' "$1"
}

failed=0
passed=0
report() {
    if [ "$2" = yes ]; then
        echo "ok: $1"
        passed=$((passed + 1))
    else
        echo "FAIL: $1"
        failed=$((failed + 1))
    fi
}
# Places in the main window's client area (X, Y from find_main_window), at
# 96 dpi.
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click "${3:-1}"; sleep 0.3; }
keys() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
# The DATA view, a pixel further each time: xdotool's --sync waits for the
# pointer to move, and would wait long for one already there.
view_at=0
view() { view_at=$(((view_at + 1) % 8)); click $((320 + view_at)) 556; }
open_port() { click 68 64; }          # "Otwórz port"
status() { click 552 58; sleep 0.5; } # "Sprawdź status dysku": the device answers
clear_data() { click 60 428; }        # "Czyść DATA"
read_all() { click 296 346; }         # "Odczytaj wszystko": the card's lines
copy_all() {
    view
    keys ctrl+a ctrl+c
    timeout 20 xclip -o -selection clipboard >"$1" 2>/dev/null || true
}
# Types a path into the file dialog with this title and takes it with Enter.
choose_file() {
    timeout 10 xdotool search --sync --name "^$1\$" >/dev/null
    sleep 0.5
    keys ctrl+a
    xdotool type --delay 20 "$2"
    keys Return
}
