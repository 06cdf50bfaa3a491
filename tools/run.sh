#!/usr/bin/env bash
# Installs what building and running need and the machine lacks, builds, and
# starts the console's demo (rs232-kalvex --demo): unless port 2 is mapped
# already (RS232_PORT_2), the device simulator answers on port 2, so that
# "Otwórz port" with the default number and any button show a reply at once;
# the simulator ends with the console. Arguments go to the console.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"

# A serial port that the console would open and this user may not: one mapped
# by RS232_PORT_<n>, or one that the system numbers (a tty with a device
# behind it, less built-in UARTs whose driver found no hardware). Only looks
# at permissions; no port is opened.
closed_port() {
    local variable device name
    for variable in $(compgen -e); do
        [[ $variable =~ ^RS232_PORT_[0-9]+$ ]] || continue
        device=${!variable}
        if [ -e "$device" ] && ! { [ -r "$device" ] && [ -w "$device" ]; }; then
            echo "$device"
            return 0
        fi
    done
    for device in /sys/class/tty/*/device; do
        name=${device%/device}
        name=${name##*/}
        [ "$(cat "/sys/class/tty/$name/type" 2>/dev/null)" != 0 ] || continue
        device=/dev/$name
        if [ -e "$device" ] && ! { [ -r "$device" ] && [ -w "$device" ]; }; then
            echo "$device"
            return 0
        fi
    done
    return 1
}
if port=$(closed_port); then
    echo "Note: you may not open the serial port $port. Serial ports belong to the"
    echo "dialout group; join it, then log out and in again:"
    echo "    sudo usermod -aG dialout $(id -un)"
fi

exec build/app/rs232-kalvex --demo "$@"
