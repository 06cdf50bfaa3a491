# Sourced by the scripts that try the Windows build in a real window under
# Wine: tests/xvfb.sh's display, steps and clean-up, wine.sh, and the tally
# of checks. The caller sets `version` (the build's, e.g. 1.0.0) and
# `standin` (the UART stand-in library, tests/wine/uartstandin.cpp) first.
# The script runs under Wine 10: it enters tests/wine/root.sh when it is not
# there yet.
#   . window.sh; start_display; ...; report "what" yes|no; click X Y; keys KEY...
#   title                      the program's title, "RS232 Kalvex v1.0" for 1.0.0
#   find_mapped_main_window    waits for Wine to map the main window, then find_main_window
#   failure_box                the id of a message box of the console's, if one is shown
#   simulator_on_com N SIMULATOR [OPTION...]   the device simulator on a pty that is
#                              COM<n>; its log ($work/simulator.log) shows each command it got
#   wait_for_size FILE SIZE SECONDS   until FILE holds SIZE bytes or more

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ -n "${KALVEX_WINE_ROOT:-}" ] || exec "$here/root.sh" "$0" "$@"
[ -f "$standin" ] || { echo "FAIL: no UART stand-in library at $standin"; exit 1; }
# Loaded into Wine: without it Wine cancels every wait for a pty's events,
# and the console receives nothing.
export KALVEX_UART_STANDIN=$standin
. "$here/../xvfb.sh"
. "$here/wine.sh"
# Wine's own processes end before the display and the prefix go.
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT

# The title, as the build makes it from its version: major.minor.
title="RS232 Kalvex v${version%.*}"
title_pattern=${title//./\\.}

# Wine names a window before it maps it, and takes a while to start.
find_mapped_main_window() {
    step "wait for the main window to be mapped"
    timeout 90 xdotool search --sync --onlyvisible --name "^$title_pattern \\(c\\) " >/dev/null
    find_main_window
}

failure_box() { xdotool search --onlyvisible --name "^$title_pattern\$" 2>/dev/null | head -n 1 || true; }

simulator_on_com() {
    step "start the device simulator on COM$1"
    "$2" --fast "${@:3}" --link "$work/com$1" >/dev/null 2>"$work/simulator.log" &
    pids+=($!)
    for _ in $(seq 200); do [ -e "$work/com$1" ] && break; sleep 0.05; done
    map_com "$1" "$work/com$1"
}

# How many times the device got DSTA.
device_dsta_count() { grep -c '^> DSTA$' "$work/simulator.log" || true; }

# Waits up to SECONDS until FILE holds at least SIZE bytes.
wait_for_size() {
    local file=$1 size=$2 seconds=$3
    for _ in $(seq $((seconds * 10))); do
        [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" -ge "$size" ] && return 0
        sleep 0.1
    done
    return 1
}
