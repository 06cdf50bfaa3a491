#!/usr/bin/env bash
# The Windows installer as a user runs it, under Wine and Xvfb, in a Wine
# prefix of its own: "setup.exe /S" installs to Program Files, with a Start
# menu entry and an entry under installed apps; the installed console starts
# from there, opens port 12 (COM12, the device simulator on a pty) and sends
# the device DSTA; "uninstall.exe /S" then removes every file and registry
# key that the installer made.
#   installer_xvfb.sh SETUP SIMULATOR
set -euo pipefail
setup=$(readlink -f "$1")
simulator=$(readlink -f "$2")
version=$(basename "$setup" | sed -nE 's/^rs232-kalvex-([0-9.]+)-setup\.exe$/\1/p')
. "$(dirname "$0")/window.sh"
# Runs a Windows program and waits until Wine has ended everything it
# started, so that the registry is written back to its files.
run_and_settle() {
    wine "$@"
    wineserver -w
}
# Every file and folder of drive C:, and every registry key, one a line.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . | sort) >"$work/$1.files"
    sed -n 's/^\(\[.*\]\) [0-9]*$/\1/p' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" |
        sort >"$work/$1.keys"
}
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RS232 Kalvex'
value() { wine reg query "$key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z]* *//p" | tr -d '\r'; }

start_display
[ -n "$version" ] || { echo "FAIL: $setup is not named rs232-kalvex-VERSION-setup.exe"; exit 1; }
step "make a Wine prefix"
make_wine_prefix "$work/prefix" x11
wineserver -w
snapshot before

step "install silently"
run_and_settle "$setup" /S
snapshot installed
folder="$WINEPREFIX/drive_c/Program Files/RS232 Kalvex"
exe=$(find "$folder" -maxdepth 1 -name '*.exe' ! -name uninstall.exe | head -n 1)
report "the console is in Program Files: ${exe#"$WINEPREFIX/drive_c/"}" \
    "$([ -n "$exe" ] && [ -f "$folder/platforms/qwindows.dll" ] && echo yes || echo no)"
report "the Start menu has its entry" \
    "$([ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/RS232 Kalvex.lnk" ] &&
        echo yes || echo no)"
# reg prints in the console's code page, so Publisher ("Zespół Kalvex") is
# read from the registry's file, where Wine writes it with \x escapes.
for name in DisplayName DisplayVersion DisplayIcon UninstallString; do
    echo "  $name: $(value "$name")"
done
echo "  $(grep -F '"Publisher"=' "$WINEPREFIX/system.reg")"
report "installed apps list it, with its version and uninstaller" \
    "$([ "$(value DisplayName)" = "RS232 Kalvex" ] && [ "$(value DisplayVersion)" = "$version" ] &&
        grep -qF '"Publisher"="Zesp\xf3\x142 Kalvex"' "$WINEPREFIX/system.reg" &&
        value DisplayIcon | grep -q '\.exe",0$' &&
        [ "$(value UninstallString)" = '"C:\Program Files\RS232 Kalvex\uninstall.exe"' ] &&
        echo yes || echo no)"

simulator_on_com 12 "$simulator"
step "start the installed console"
wine "C:\\Program Files\\RS232 Kalvex\\$(basename "$exe")" &
console_pid=$!
pids+=("$console_pid")
find_mapped_main_window
click 84 162  # "Nr portu:"
keys ctrl+a
xdotool type 12
click 68 64   # "Otwórz port"
click 552 58  # "Sprawdź status dysku"
report "the installed console opened COM12 and the device got DSTA" "$(device_got_dsta)"
click 576 338  # "Zakończ program"
for _ in $(seq 150); do kill -0 "$console_pid" 2>/dev/null || break; sleep 0.1; done
wineserver -w
snapshot used

step "uninstall silently"
# The uninstaller copies itself away and runs from there; Wine's end is the
# end of both.
run_and_settle "C:\\Program Files\\RS232 Kalvex\\uninstall.exe" /S
snapshot removed
for kind in files keys; do
    what=$([ "$kind" = files ] && echo "files and folders" || echo "registry keys")
    comm -13 "$work/before.$kind" "$work/installed.$kind" >"$work/made.$kind"
    comm -12 "$work/made.$kind" "$work/removed.$kind" >"$work/left.$kind"
    echo "the installer made $(wc -l <"$work/made.$kind") $what"
    report "the uninstaller removed every one of its $what" \
        "$([ -s "$work/made.$kind" ] && [ ! -s "$work/left.$kind" ] && echo yes || echo no)"
    sed 's/^/  left: /' "$work/left.$kind"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
