#!/usr/bin/env bash
# The ingest of a flood by the console as a user runs it, the Windows build
# under Wine 10 and the Linux build, taken the same way, the runs
# alternating: each console in a real window on an Xvfb display of its own,
# started with --log, "Otwórz port" on port 2 (COM2 under Wine, through the
# UART stand-in), whose pty kalvex-bench --pty-flood floods once the port is
# open. The figure is the flood's bytes over the time from its first byte to
# the log holding the last. Writes the runs' figures to OUT as JSON.
#   bench/wineingest.sh BENCH LINUX_CONSOLE WINDOWS_PROGRAM BYTES RUNS OUT
# Run under Wine 10 (bench/run.sh runs it in tests/wine/root.sh).
set -euo pipefail
bench=$(readlink -f "$1")
linux_console=$(readlink -f "$2")
windows_program=$(readlink -f "$3")
bytes=$4
runs=$5
out=$6
cd "$(dirname "$0")/.."
. tests/xvfb.sh
. tests/wine/wine.sh
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT

start_display
# The stand-in, built here: the benchmark's build has no tests.
g++ -std=c++20 -O2 -shared -fPIC -o "$work/uartstandin.so" tests/wine/uartstandin.cpp -ldl
export KALVEX_UART_STANDIN=$work/uartstandin.so
make_wine_prefix "$work/prefix" x11
map_com 2 "$work/port2"
export RS232_PORT_2=$work/port2

# One flood into a console, the Windows build under Wine or the Linux build
# (KIND windows or linux); kalvex-bench's result is added to on_KIND.
flood() {
    local log=$work/log-$1 console
    rm -f "$log" "$work/port2"
    "$bench" --pty-flood "$work/port2" "$bytes" "$log" >"$work/result" &
    local flooder=$!
    for _ in $(seq 100); do [ -L "$work/port2" ] && break; sleep 0.05; done
    if [ "$1" = windows ]; then
        wine "$windows_program" --log "$(windows_path "$log")" >/dev/null 2>&1 &
    else
        "$linux_console" --log "$log" >/dev/null 2>&1 &
    fi
    console=$!
    pids+=("$console")
    # Wine takes a while to start a program on a busy machine.
    timeout 120 xdotool search --sync --onlyvisible --name '^RS232 Kalvex v' >/dev/null
    find_main_window
    open_port
    wait "$flooder" || true
    click 576 338  # "Zakończ program"
    for _ in $(seq 300); do kill -0 "$console" 2>/dev/null || break; sleep 0.1; done
    kill "$console" 2>/dev/null || true
    [ "$1" = linux ] || wineserver -w
    local result='{"error": "kalvex-bench --pty-flood gave no result"}'
    grep -q '^RESULT ' "$work/result" && result=$(sed -n 's/^RESULT //p' "$work/result")
    echo "  $result" >&2
    if [ "$1" = windows ]; then on_windows+=("$result"); else on_linux+=("$result"); fi
}

on_windows=()
on_linux=()
for i in $(seq "$runs"); do
    echo "flood $i of $runs: Windows under Wine 10" >&2
    flood windows
    echo "flood $i of $runs: Linux" >&2
    flood linux
done
join() { local IFS=,; echo "$*"; }
printf '{"bytes": %s, "windows": [%s], "linux": [%s]}\n' "$bytes" "$(join "${on_windows[@]}")" \
    "$(join "${on_linux[@]}")" >"$out"
