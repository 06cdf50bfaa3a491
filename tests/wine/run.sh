#!/usr/bin/env bash
# Runs a Windows program of the build under Wine 10, for ctest (the cross
# build's CMAKE_CROSSCOMPILING_EMULATOR): Qt's and the mingw runtime's DLLs on
# its path, in a Wine prefix of the build's own, made at its first use, with
# no display; the test's QT_* variables (QT_QPA_PLATFORM=offscreen) reach it.
# Outside tests/wine/root.sh (ctest run directly) it enters it for itself.
#   run.sh QT_BIN PREFIX PROGRAM [ARGUMENT...]
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
exec wine "$@"
