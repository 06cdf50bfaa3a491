#!/usr/bin/env bash
# A test scenario recorded from the operator's own presses and replayed, in
# the real console in a real window under Xvfb, with the device simulator
# on port 2: the twelve command buttons pressed while "Nagrywaj" is on, the
# recording saved, its times and dates edited into ?, as an operator does
# in any editor, the file opened again and run: every step passes. A run
# with a failed step leaves its ✘, and the main window its size.
#   scenario_xvfb.sh CONSOLE SIMULATOR [SCENARIO_WITH_A_FAILED_STEP]
# With KALVEX_SHOT=FILE.png, a picture of the scenario window after that
# last run is saved there (tools/screenshot.sh).
set -euo pipefail
console=$1
simulator=$2
failing=${3:+$(realpath "$3")}

. "$(dirname "$0")/xvfb.sh"
# Room for the scenario window beside the main window.
start_display 2200x1200x24
[ -z "${KALVEX_SHOT:-}" ] || start_window_manager
start_simulator "$simulator"

# The scenario window's buttons, by their access keys.
in_scenario() { xdotool windowfocus --sync "$scenario"; keys "$@"; }
# Waits for a line of the console's log.
wait_log() {
    for _ in $(seq 100); do grep -q -- "$1" "$work/err" && return 0; sleep 0.1; done
    echo "FAIL: the console did not log \"$1\":"
    cat "$work/err"
    exit 1
}

step "start the console"
"$console" 2>"$work/err" &
pids+=($!)
find_main_window
open_port
step "open the scenario window with Ctrl+R"
view
keys ctrl+r
scenario=$(find_window "Scenariusz testu" 10)
report "Ctrl+R in the DATA view opens \"Scenariusz testu\"" yes

step "record the twelve buttons"
in_scenario alt+n
xdotool windowfocus --sync "$window"
# Each answer comes before the next press (--fast), so that the recording
# reads as the operator saw it.
for place in "552 170" "552 58" "552 90" "552 138" "432 242" "432 274" "296 314" "296 346" \
    "308 58" "308 90" "308 138" "308 170"; do
    click $place
done
sleep 0.5
in_scenario alt+z
wait_log "recorded 12 commands"
report "12 commands recorded" yes

step "save the recording"
in_scenario alt+p
choose_file "Zapisz scenariusz testu" "$work/recorded.txt"
for _ in $(seq 50); do [ -s "$work/recorded.txt" ] && break; sleep 0.1; done
[ "$(grep -c '^> ' "$work/recorded.txt")" = 12 ] && grep -qx '< OK CF READY' "$work/recorded.txt" &&
    report "the file holds the twelve commands and the replies" yes ||
    { report "the recording:" no; cat "$work/recorded.txt"; }
# What differs from one run to the next: the device's clock and calendar.
sed -E -e '/^< /s/[0-9]{2}:[0-9]{2}:[0-9]{2}/??:??:??/g' -e '/^< /s/[0-9]{2}-[0-9]{2}/??-??/g' \
    "$work/recorded.txt" >"$work/replay.txt"

step "open the edited file and run it"
in_scenario alt+o
choose_file "Otwórz scenariusz testu" "$work/replay.txt"
sleep 0.5
in_scenario alt+u
wait_log "replay.txt: 12 passed, 0 failed"
report "the replay passes: 12 passed, 0 failed" yes

if [ -n "$failing" ]; then
    step "run a scenario with a failed step"
    in_scenario alt+o
    choose_file "Otwórz scenariusz testu" "$failing"
    sleep 0.5
    in_scenario alt+u
    wait_log "$(basename "$failing"): .* 1 failed"
    report "a failed step stops the run" yes
    if [ -n "${KALVEX_SHOT:-}" ]; then
        sleep 1
        import -window "$scenario" -frame "$KALVEX_SHOT"
    fi
fi
info=$(xwininfo -id "$window")
[ "$(awk '/Width:/ {print $2}' <<<"$info")x$(awk '/Height:/ {print $2}' <<<"$info")" = 649x666 ] &&
    report "the main window keeps its size" yes || report "the main window's size changed" no
left=$(xwininfo -id "$scenario" | awk '/Absolute upper-left X/ {print $4}')
[ "$left" -gt $((X + WIDTH)) ] && report "the scenario window opened beside the main window" yes ||
    report "the scenario window is at x $left, over the main window (x $X, $WIDTH wide)" no
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
