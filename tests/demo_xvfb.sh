#!/usr/bin/env bash
# The demo in a real window under Xvfb: "CONSOLE --demo" starts SIMULATOR (by
# its path) on port 2, which answers "Sprawdź status dysku", and the
# simulator's log stays out of the console's terminal unless asked for. The
# simulator, found by its process id, ends with the console however that
# ends: "Zakończ program", SIGTERM or SIGKILL. With RS232_PORT_2 set, no
# simulator is started.
#   demo_xvfb.sh CONSOLE SIMULATOR
set -euo pipefail
console=$1
simulator=$(realpath "$2")

. "$(dirname "$0")/xvfb.sh"
fail() { echo "FAIL: $*"; exit 1; }
start_display
# The demo's link lives in a temporary folder, here this script's own.
export TMPDIR=$work

# The console's children named kalvex-sim.
simulators_of() {
    local child
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
        [ "$(cat /proc/"$child"/comm 2>/dev/null)" = kalvex-sim ] && echo "$child"
    done
    return 0
}
# Whether a process has ended within five seconds; a zombie has, and only
# waits for its new parent to collect it.
ends() {
    local state
    for _ in $(seq 50); do
        state=$(awk '{print $3}' /proc/"$1"/stat 2>/dev/null || true)
        [ -z "$state" ] || [ "$state" = Z ] && return 0
        sleep 0.1
    done
    return 1
}
# Starts the demo and waits for its window; sets console_pid and sim_pid.
start_demo() {
    step "start the demo"
    "$console" --demo >"$work/out" 2>"$work/err" &
    console_pid=$!
    pids+=("$console_pid")
    find_main_window
    sim_pid=$(simulators_of "$console_pid")
    [ -n "$sim_pid" ] || fail "the demo started no kalvex-sim"
    pids+=("$sim_pid")
    [ "$(readlink /proc/"$sim_pid"/exe)" = "$simulator" ] ||
        fail "the demo started $(readlink /proc/"$sim_pid"/exe), not $simulator"
}
# An ended process leaves the list of those to end at exit: its id may be
# another's by then.
forget() {
    local kept=() pid
    for pid in "${pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
    pids=("${kept[@]}")
}
# Waits for the console to end with STATUS after HOW, then checks that its
# simulator has ended too.
demo_ends() {
    local want=$1 how=$2 status=0
    wait "$console_pid" || status=$?
    forget "$console_pid"
    [ "$status" = "$want" ] || fail "the console ended with status $status after $how, not $want"
    ends "$sim_pid" || fail "kalvex-sim ($sim_pid) runs on after $how ended the console"
    forget "$sim_pid"
}
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.3; }

start_demo
step "ask the demo's device for its status"
click 68 64   # "Otwórz port"
click 552 58  # "Sprawdź status dysku"
for _ in $(seq 25); do
    click 324 556  # the DATA view
    xdotool key --clearmodifiers ctrl+a ctrl+c
    data=$(timeout 5 xclip -o -selection clipboard | tr -d '\r')
    [ "$data" = $'DATA\nOK CF READY' ] && break
    sleep 0.2
done
[ "$data" = $'DATA\nOK CF READY' ] || fail "the DATA view holds '$data', not the device's answer"
echo "ok: the demo's device answers: $(tail -n 1 <<<"$data")"
link=$(sed -n 's/^kalvex.demo: port 2 is the device simulator .* (\(.*\))$/\1/p' "$work/err")
[ -L "$link" ] || fail "no link to the simulator's pty named on standard error"

step "end the demo with \"Zakończ program\""
click 576 336
demo_ends 0 "\"Zakończ program\""
[ ! -e "$link" ] || fail "the simulator's link $link is left"
if grep -E '^(> |< )|serving on' "$work/out" "$work/err"; then
    fail "the simulator's log reached the console's terminal"
fi
echo "ok: \"Zakończ program\" ends the simulator ($sim_pid), and its log stayed out"

step "the demo with the simulator's log asked for, ended by SIGTERM"
export QT_LOGGING_RULES="kalvex.demo.debug=true"
start_demo
unset QT_LOGGING_RULES
kill -TERM "$console_pid"
demo_ends 143 SIGTERM
grep -q 'serving on' "$work/err" || fail "the simulator's log, asked for, did not come"
echo "ok: SIGTERM ends the simulator ($sim_pid); its log comes when asked for"

step "the demo ended by SIGKILL"
start_demo
kill -KILL "$console_pid"
demo_ends 137 SIGKILL
echo "ok: SIGKILL of the console ends the simulator ($sim_pid)"

step "the demo with port 2 mapped already"
RS232_PORT_2=/dev/null "$console" --demo >"$work/out" 2>"$work/err" &
console_pid=$!
pids+=("$console_pid")
find_main_window
[ -z "$(simulators_of "$console_pid")" ] || fail "a simulator was started though RS232_PORT_2 is set"
echo "ok: with RS232_PORT_2 set, no simulator"
echo "4 passed, 0 failed"
