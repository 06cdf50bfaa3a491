# Sourced by the scripts that try the Windows build in a real window under
# Wine: tests/xvfb.sh's display, steps and clean-up, wine.sh, and the tally
# of checks.
#   . window.sh; start_display; ...; report "what" yes|no; click X Y; keys KEY...
#   find_mapped_main_window    waits for Wine to map the main window, then find_main_window
#   simulator_on_com N SIMULATOR   the device simulator on a pty that is COM<n>; its log
#                              ($work/simulator.log) shows each command it got

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../xvfb.sh"
. "$here/wine.sh"
# Wine's own processes end before the display and the prefix go.
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT


# Wine names a window before it maps it, and takes a while to start.
find_mapped_main_window() {
    step "wait for the main window to be mapped"
    timeout 60 xdotool search --sync --onlyvisible --name '^RS232 Kalvex v1\.0 \(c\) ' >/dev/null
    find_main_window
}

simulator_on_com() {
    step "start the device simulator on COM$1"
    "$2" --fast --link "$work/com$1" >/dev/null 2>"$work/simulator.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -e "$work/com$1" ] && break; sleep 0.05; done
    map_com "$1" "$work/com$1"
}

# Whether the device got DSTA, waiting for it a few seconds.
device_got_dsta() {
    for _ in $(seq 50); do grep -q '^> DSTA$' "$work/simulator.log" && break; sleep 0.1; done
    grep -q '^> DSTA$' "$work/simulator.log" && echo yes || echo no
}
