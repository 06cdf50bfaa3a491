#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console. Unless port 2 is
# already mapped (RS232_PORT_2), the device simulator answers on port 2, so
# "Otwórz port" with the default number and any button show a reply at once.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"

# The console never needs root; serial ports need the dialout group.
if [ "$(id -u)" -ne 0 ] && ! id -nG | grep -qw dialout; then
    echo "Note: to open serial ports, join the dialout group and log in again:"
    echo "    sudo usermod -aG dialout $(id -un)"
fi

if [ -z "${RS232_PORT_2:-}" ]; then
    link=$(mktemp -u /tmp/kalvex-port2.XXXXXX)
    build/tools/simulator/kalvex-sim --quiet --preload 20 --link "$link" >/dev/null &
    sim=$!
    trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
    for _ in $(seq 100); do
        [ -e "$link" ] && break
        sleep 0.05
    done
    export RS232_PORT_2=$link
    echo "Port 2 is the device simulator ($link)."
fi
build/app/rs232-kalvex "$@"
