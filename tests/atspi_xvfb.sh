#!/usr/bin/env bash
# The DATA view through the desktop's accessibility bus (AT-SPI), under Xvfb
# with a session bus of its own: the accessibility tests against the bridge,
# then the real console with the device simulator on port 2, read and edited
# by tests/atspi_read.py as a screen reader would.
#   atspi_xvfb.sh CONSOLE SIMULATOR TST_ACCESSIBILITY PYTHON
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Everything below runs on a session bus of its own.
if [ -z "${KALVEX_ATSPI_SESSION:-}" ]; then
    exec dbus-run-session -- env KALVEX_ATSPI_SESSION=1 "$0" "$@"
fi
console=$1
simulator=$2
accessibility_tests=$3
python=$4

. "$here/xvfb.sh"
start_display
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export XDG_RUNTIME_DIR=$work

# Start the accessibility bus; Qt's bridge joins it when it is there.
step "start the accessibility bus"
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null

step "accessibility events through the bridge"
echo "== accessibility events through the bridge"
"$accessibility_tests"

step "the console read through AT-SPI"
echo "== the console read through AT-SPI"
start_simulator "$simulator"
"$console" &
console_pid=$!
pids+=("$console_pid")
"$python" "$here/atspi_read.py" "$console_pid"
