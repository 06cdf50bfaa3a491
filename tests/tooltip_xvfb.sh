#!/usr/bin/env bash
# The real console in a real window under Xvfb, with the device simulator on
# a pty mapped to port 2: hovering over "Nr portu:" shows the tooltip that
# lists port 2 as that pty; then, with the port open, SIGTERM ends the
# console, and no lock file is left.
#   tooltip_xvfb.sh CONSOLE SIMULATOR [SCREENSHOT.png]
set -euo pipefail
console=$1
simulator=$2
shot=${3:-}

. "$(dirname "$0")/xvfb.sh"
fail() { echo "FAIL: $*"; exit 1; }

start_display
start_simulator "$simulator"
pty=$(readlink -f "$work/port2")

# The console records what its tooltip showed when this category is on.
step "start the console"
QT_LOGGING_RULES="kalvex.ui.debug=true" "$console" 2>"$work/log" &
console_pid=$!
pids+=("$console_pid")
find_main_window
sleep 0.5

# Visible pop-up windows (override-redirect, as tooltips are) on the screen.
others() {
    local id info
    for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        if grep -q 'Map State: IsViewable' <<<"$info" &&
            grep -q 'Override Redirect State: yes' <<<"$info"; then
            echo "$id"
        fi
    done | sort
}
before=$(others)

show_port_tooltip "$work/log"
expected="2: $work/port2 — przypisany (RS232_PORT_2) — wolny"
grep -qxF "$expected" "$work/log" || fail "the tooltip does not list port 2 as $work/port2"
after=$(others)
tip=$(comm -13 <(echo "$before") <(echo "$after") | head -n 1)
[ -n "$tip" ] || fail "no tooltip window on the screen"
echo "tooltip window $tip: $(xwininfo -id "$tip" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"
if [ -n "$shot" ]; then
    tx=$(xwininfo -id "$tip" | awk '/Absolute upper-left X/ {print $4}')
    tw=$(xwininfo -id "$tip" | awk '/Width:/ {print $2}')
    width=$((tx + tw + 20 - X))
    [ "$width" -ge 660 ] || width=660
    import -window root -crop "${width}x300+$((X))+$((Y + 100))" "$shot"
    echo "screenshot: $shot"
fi

step "open port 2, then SIGTERM"
# "Otwórz port", then SIGTERM: the console ends as closing its window does.
xdotool mousemove --sync $((X + 68)) $((Y + 64)) click 1
lock=/var/lock/LCK..${pty#/dev/}
lock=${lock//pts\//pts_}
for _ in $(seq 50); do [ -e "$lock" ] && break; sleep 0.1; done
[ -e "$lock" ] || fail "port 2 did not open (no $lock)"
kill -TERM "$console_pid"
status=0
wait "$console_pid" || status=$?
[ "$status" = 143 ] || fail "the console ended with status $status, not by SIGTERM"
[ ! -e "$lock" ] || fail "$lock was left behind"
echo "1 passed, 0 failed"
