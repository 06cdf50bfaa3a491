#!/usr/bin/env bash
# Back after a replug, in the real console in a real window under Xvfb: port
# 2 is mapped to the simulator's link and opened; the simulator is killed,
# as a cable is pulled, and the tooltip says that port 2 waits; then a new
# device comes up behind the same link and greets at once. Its greeting
# appears in the DATA view without any press, and "Sprawdź status dysku"
# reaches it.
#   replug_xvfb.sh CONSOLE SIMULATOR PYTHON3
set -euo pipefail
console=$1
simulator=$2
python=$3

. "$(dirname "$0")/xvfb.sh"
fail() { echo "FAIL: $*"; exit 1; }

start_display
start_simulator "$simulator"
sim_pid=${pids[-1]}

QT_LOGGING_RULES="kalvex.ui.debug=true" "$console" 2>"$work/log" &
pids+=($!)
find_main_window
sleep 0.5

click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.3; }
# The DATA view's whole text through Ctrl+A and Ctrl+C, CRs left out.
view() {
    click 324 556
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.3
    { timeout 5 xclip -o -selection clipboard 2>/dev/null || true; } | tr -d '\r'
}
# Waits up to ten seconds for the view to hold exactly $1.
expect_view() {
    local got
    for _ in $(seq 20); do
        got=$(view)
        [ "$got" = "$1" ] && return 0
        sleep 0.5
    done
    printf 'DATA view:\n%s\n' "$got"
    fail "$2"
}
wait_log() {
    for _ in $(seq 100); do grep -qF "$1" "$work/log" && return 0; sleep 0.1; done
    cat "$work/log"
    fail "$2"
}

step "open port 2 and ask the simulator"
click 68 64   # "Otwórz port"
click 552 58  # "Sprawdź status dysku"
expect_view $'DATA\nOK CF READY' "the simulator's reply is not in the view"

# The cable is pulled: the simulator ends at once, its link left behind.
step "pull the simulator out"
kill -KILL "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
wait_log "the device is gone; waiting for it to come back" "the console does not wait for the device"
show_port_tooltip "$work/log" >/dev/null
wait_log "2: $work/port2 — przypisany (RS232_PORT_2) — czeka na ponowne podłączenie" \
    "the tooltip does not say that port 2 waits"
xdotool mousemove --sync $((X + 600)) $((Y + 400))

# A new device behind the same link: it greets as soon as it is up, and
# answers the status command.
cat >"$work/device.py" <<'EOF'
import os, sys, tty
link, log = sys.argv[1], sys.argv[2]
master, slave = os.openpty()
tty.setraw(slave)
os.write(master, b"HELLO FROM THE NEW DEVICE\r\n")
if os.path.lexists(link):
    os.unlink(link)
os.symlink(os.ttyname(slave), link)
with open(log, "ab", buffering=0) as out:
    heard = b""
    while True:
        data = os.read(master, 4096)
        out.write(data)
        heard += data
        if b"DSTA\r" in heard:
            heard = b""
            os.write(master, b"OK CF READY\r\n")
EOF
step "bring up a new device behind the same link"
"$python" "$work/device.py" "$work/port2" "$work/device.log" &
pids+=($!)
wait_log "the device is back; reopened" "the console did not reopen the device"
expect_view $'DATA\nOK CF READY\nHELLO FROM THE NEW DEVICE' \
    "the new device's greeting is not in the view"

step "ask the new device"
click 552 58  # "Sprawdź status dysku"
for _ in $(seq 50); do grep -q DSTA "$work/device.log" 2>/dev/null && break; sleep 0.1; done
grep -q DSTA "$work/device.log" || fail "the command did not reach the new device"
expect_view $'DATA\nOK CF READY\nHELLO FROM THE NEW DEVICE\nOK CF READY' \
    "the new device's reply is not in the view"
sed -n '/kalvex.link/p' "$work/log"
echo "1 passed, 0 failed"
