#!/usr/bin/env bash
# The real console finds ports without opening any. It runs in a private
# mount namespace whose /sys/class/tty, /run/udev/data and /dev are laid out
# as on a 6.1 kernel: a built-in UART on the platform driver serial8250
# (ttyS0, known to udev, its node a pty), a phantom UART beside it (ttyS1,
# type 0) and a USB adapter (ttyUSB0, the device simulator). The UART's and
# the phantom's nodes are watched with inotify while the tooltip of
# "Nr portu:" shows and while port 2 opens and sends: neither may be opened.
# Needs root and unshare; exits 77 (skipped) without them.
#   namespace_xvfb.sh CONSOLE SIMULATOR OPENWATCH
set -euo pipefail
console=$1
simulator=$2
openwatch=$3

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "a private mount namespace needs root"
unshare -m sh -c 'mount -t tmpfs kalvex /mnt' 2>/dev/null ||
    skip "unshare -m cannot make a private mount namespace here"

. "$(dirname "$0")/xvfb.sh"
fail() { echo "FAIL: $*"; exit 1; }

start_display

# The UART's line and the adapter's device, each a simulator on a pty.
"$simulator" --fast --quiet --link "$work/uart" >/dev/null &
pids+=($!)
"$simulator" --fast --link "$work/adapter" >/dev/null 2>"$work/adapter.log" &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/uart" ] && [ -e "$work/adapter" ] && break; sleep 0.05; done
uart=$(readlink -f "$work/uart")
adapter=$(readlink -f "$work/adapter")

# sysfs as a 6.1 kernel lays it out, and the udev database that knows it.
# libudev takes only folders on sysfs for devices, and sysfs makes no new
# folders, so the UART is the machine's own ttyS0 folder, mounted below the
# platform device serial8250 (inside its "power" folder, the one folder it
# has); the adapter and the phantom, which libudev need not see, are plain
# files.
real_uart=$(readlink -f /sys/class/tty/ttyS0 || true)
[ -n "$real_uart" ] && [ -e "$real_uart/uevent" ] ||
    skip "this machine has no ttyS0 in sysfs to lay the UART out with"
platform=$work/platform
class=$work/class
mkdir -p "$platform/serial8250" "$class" "$work/udev" "$work/dev/pts" "$work/dev/shm" \
    "$work/dev/serial/by-id"
attr() {
    mkdir -p "$(dirname "$1")"
    printf '%s\n' "$2" >"$1"
}
ln -s ../../devices/platform/serial8250/power/tty/ttyS0 "$class/ttyS0"
ln -s ../../devices/platform/serial8250/power/tty/ttyS1 "$class/ttyS1"
printf 'I:1000000\nG:systemd\nV:1\n' >"$work/udev/c4:64"
printf 'I:1000000\nG:systemd\nV:1\n' >"$work/udev/c4:65"

usb=$platform/xhci-hcd.0/usb1/1-1
attr "$platform/xhci-hcd.0/uevent" "DRIVER=xhci-hcd"
attr "$platform/xhci-hcd.0/usb1/uevent" $'DEVTYPE=usb_device\nDRIVER=usb'
attr "$platform/xhci-hcd.0/usb1/idVendor" 1d6b
attr "$platform/xhci-hcd.0/usb1/serial" xhci-hcd.0
attr "$usb/uevent" $'DEVTYPE=usb_device\nDRIVER=usb'
attr "$usb/idVendor" 0403
attr "$usb/idProduct" 6001
attr "$usb/product" "FT232R USB UART"
attr "$usb/manufacturer" FTDI
attr "$usb/serial" A50285BI
attr "$usb/1-1:1.0/uevent" $'DEVTYPE=usb_interface\nDRIVER=ftdi_sio'
attr "$usb/1-1:1.0/ttyUSB0/uevent" "DRIVER=ftdi_sio"
tty=$usb/1-1:1.0/ttyUSB0/tty/ttyUSB0
attr "$tty/uevent" $'MAJOR=188\nMINOR=0\nDEVNAME=ttyUSB0'
attr "$tty/dev" "188:0"
ln -s ../../../ttyUSB0 "$tty/device"
ln -s ../../devices/platform/xhci-hcd.0/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0 "$class/ttyUSB0"
printf 'I:1000000\nE:ID_VENDOR=FTDI\nE:ID_MODEL=FT232R_USB_UART\nE:ID_SERIAL_SHORT=A50285BI\n' \
    >"$work/udev/c188:0"
# Virtual terminals and the console: no device link, never ports.
for name in console ptmx tty0; do ln -s "../../devices/virtual/tty/$name" "$class/$name"; done

# /dev: the UART's node is the first pty, the adapter's the second.
touch "$work/dev/ttyS0" "$work/dev/ttyS1" "$work/dev/ttyUSB0"
for name in null zero full random urandom tty; do touch "$work/dev/$name"; done
byid=usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
ln -s ../../ttyUSB0 "$work/dev/serial/by-id/$byid"
mkdir -m 700 "$work/xdg"

"$openwatch" "$uart" "$work/dev/ttyS1" >"$work/opens" &
pids+=($!)
for _ in $(seq 100); do grep -q watching "$work/opens" && break; sleep 0.05; done
grep -q watching "$work/opens" || fail "the inotify watch did not start"
opened() {
    if grep -q opened "$work/opens"; then
        sed "s|$uart|$uart (/dev/ttyS0 in the namespace)|" "$work/opens" | grep opened
        fail "$1"
    fi
}

step "start the console in its namespace"
export work uart adapter console real_uart
unshare -m bash -c '
    set -e
    # sysfs: the platform device serial8250 itself, its UARTs below it.
    mount --bind /sys/devices/platform/serial8250 "$work/platform/serial8250"
    mount -t tmpfs kalvex-uarts "$work/platform/serial8250/power"
    mkdir -p "$work/platform/serial8250/power/tty/ttyS0" "$work/platform/serial8250/power/tty/ttyS1"
    mount --bind "$real_uart" "$work/platform/serial8250/power/tty/ttyS0"
    phantom=$work/platform/serial8250/power/tty/ttyS1
    printf "MAJOR=4\nMINOR=65\nDEVNAME=ttyS1\n" >"$phantom/uevent"
    printf "0\n" >"$phantom/type"
    ln -s ../../.. "$phantom/device"
    mount --rbind "$work/platform" /sys/devices/platform
    mount --bind "$work/class" /sys/class/tty
    # /dev
    mount --bind "$uart" "$work/dev/ttyS0"
    mount --bind "$adapter" "$work/dev/ttyUSB0"
    for name in null zero full random urandom tty; do mount --bind "/dev/$name" "$work/dev/$name"; done
    mount --bind /dev/pts "$work/dev/pts"
    mount --bind /dev/shm "$work/dev/shm"
    mount --rbind "$work/dev" /dev
    # /run: lock files of its own, and the udev database
    mount -t tmpfs kalvex-run /run
    mkdir -m 1777 /run/lock
    mkdir -p /run/udev/data
    mount --bind "$work/udev" /run/udev/data
    exec env -u RS232_PORT_2 XDG_RUNTIME_DIR="$work/xdg" QT_LOGGING_RULES=kalvex.ui.debug=true \
        "$console"' 2>"$work/log" &
pids+=($!)
find_main_window
sleep 0.5

show_port_tooltip "$work/log"
opened "showing the tooltip opened a port"
grep -qxF "1: /dev/ttyS0 — wolny" "$work/log" || fail "the tooltip does not list /dev/ttyS0 as 1"
# Its state is not the point here: only what the tooltip says of it.
grep -qF "2: /dev/ttyUSB0 — FT232R USB UART, FTDI, nr seryjny A50285BI — /dev/serial/by-id/$byid — " \
    "$work/log" || fail "the tooltip does not list the adapter as 2"
! grep -q ttyS1 "$work/log" || fail "the phantom UART ttyS1 is listed"

# "Otwórz port" with the default number 2, then "Sprawdź status dysku".
step "open port 2 and send"
xdotool mousemove --sync $((X + 68)) $((Y + 64)) click 1
sleep 0.3
xdotool mousemove --sync $((X + 552)) $((Y + 58)) click 1
for _ in $(seq 50); do grep -q '^> DSTA' "$work/adapter.log" && break; sleep 0.1; done
grep -q '^> DSTA' "$work/adapter.log" || fail "port 2 did not open and send ($(cat "$work/log"))"
sleep 0.3
opened "opening port 2 opened another port"
echo "1 passed, 0 failed"
