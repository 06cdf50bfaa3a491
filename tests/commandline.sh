#!/usr/bin/env bash
# The console's command line answered without a display, as from an SSH
# session or a build machine: --help lists the options, --help-all Qt's own
# too, --version names the version, and nothing else is said. Qt's own
# options are no help or version: with them the console starts.
#   commandline.sh CONSOLE VERSION
set -euo pipefail
console=$1
version=$2
failed=0
passed=0
check() {
    local what=$1 want=$2 status=0 out err
    shift 2
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$console" "$@" 2>"$err_file") ||
        status=$?
    err=$(cat "$err_file")
    if [ "$status" = 0 ] && [ -z "$err" ] && grep -qE -- "$want" <<<"$out"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what: status $status, standard error '$err', output:"
        echo "$out"
        failed=$((failed + 1))
    fi
}
# Still running a moment later, having printed nothing: a help or a version
# would have ended it at once.
starts() {
    local what=$1 status=0 out
    shift
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 3 "$console" \
        -platform offscreen "$@" 2>"$err_file") || status=$?
    if [ "$status" = 124 ] && [ -z "$out" ]; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what: status $status, output '$out', standard error:"
        cat "$err_file"
        failed=$((failed + 1))
    fi
}
err_file=$(mktemp)
trap 'rm -f "$err_file"' EXIT

check "--help lists --demo" '^ +--demo +Try the console without the hardware' --help
check "--help lists --version" '^ +-v, --version' --help
check "--help lists --run" '^ +--run <file> +Run the test scenario <file> without a window' --help
check "--help describes a scenario's items" '^  << PATTERN +skip received lines until one matches' --help
status=0
err=$(env -u DISPLAY -u QT_QPA_PLATFORM "$console" --repeat 3 2>&1 >/dev/null) || status=$?
if [ "$status" = 1 ] && [ "$err" = "rs232-kalvex: --repeat goes with --run" ]; then
    echo "ok: --repeat without --run is refused without a display"
    passed=$((passed + 1))
else
    echo "FAIL: --repeat without --run: status $status, standard error '$err'"
    failed=$((failed + 1))
fi
check "--help-all lists Qt's own options" '^ +--reverse +Sets the application' --help-all
check "--version names the version" "^rs232-kalvex ${version//./\\.}\$" --version
starts "-reverse starts the console" -reverse
# A theme that no plugin provides, so that Qt falls back to the platform's
# own: a real one may need a display (GTK's, where Qt came with its
# recommended packages, ends the program without one).
starts "-platformtheme NAME starts the console" -platformtheme kalvex-no-such-theme
starts "-style NAME starts the console" -style Fusion
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
