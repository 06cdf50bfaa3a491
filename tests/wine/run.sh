#!/usr/bin/env bash
# Runs a Windows program of the build under Wine 10, for ctest (the cross
# build's CMAKE_CROSSCOMPILING_EMULATOR): Qt's and the mingw runtime's DLLs on
# its path, in a Wine prefix of the build's own, made at its first use, with
# no display; the test's QT_* variables (QT_QPA_PLATFORM=offscreen) reach it.
# Outside tests/wine/root.sh (ctest run directly) it enters it for itself.
#   run.sh QT_BIN PREFIX PROGRAM [ARGUMENT...]
#
# A serial suite (KALVEX_WINE_DEVICES=1 in its environment) plays the device
# on COM ports: the program runs under kalvex-nullmodem (nullmodem.cpp),
# which makes pseudo-terminals behind the prefix's COM ports at its request.
# That needs Wine 10 and the UART stand-in (root.sh, KALVEX_UART_STANDIN);
# kalvex-nullmodem is taken from beside the stand-in, or from
# KALVEX_NULLMODEM_PROGRAM.
set -euo pipefail
[ -n "${KALVEX_WINE_ROOT:-}" ] || exec "$(dirname "$0")/root.sh" "$0" "$@"
qt_bin=$1
prefix=$2
shift 2
. "$(dirname "$0")/wine.sh"

# ctest runs suites side by side: one makes the prefix, the others wait.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
make_wine_prefix "$prefix" null
flock -u 9

path=$(windows_path "$qt_bin")
for dir in /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib; do
    path+=";$(windows_path "$dir")"
done
export WINEPATH=$path
# Qt Test writes to the debugger where no console is attached, and a pipe is
# none: it is told to write to its output.
export QT_FORCE_STDERR_LOGGING=1
pass_qt_variables
if [ -z "${KALVEX_WINE_DEVICES:-}" ]; then
    exec wine "$@"
fi
helper=${KALVEX_NULLMODEM_PROGRAM:-$(dirname "${KALVEX_UART_STANDIN:-.}")/kalvex-nullmodem}
if [ -z "${KALVEX_UART_STANDIN:-}" ] || [ ! -x "$helper" ]; then
    echo "run.sh: $(basename "$1") plays the device on COM ports: it needs Wine 10, the UART" \
         "stand-in and kalvex-nullmodem of the Linux build beside it:" >&2
    echo "  cmake --build build-test --target kalvex-uart-standin kalvex-nullmodem" >&2
    echo "  KALVEX_UART_STANDIN=\$PWD/build-test/tests/libkalvex-uart-standin.so" \
         "tests/wine/root.sh ctest --test-dir build-windows" >&2
    exit 1
fi
exec "$helper" "$WINEPREFIX/dosdevices" -- wine "$@"
