#!/usr/bin/env bash
# The Windows installer as a user runs it, under Wine 10 and Xvfb, in a Wine
# prefix of its own:
# - "setup.exe /S" installs to Program Files, with a Start menu entry and an
#   entry under installed apps;
# - the installed console opens port 12 (COM12: the device simulator on a
#   pty, answering as a UART through the stand-in) and shows the device's
#   answer to "Sprawdź status dysku";
# - while the console runs, the uninstaller refuses and removes nothing:
#   "/S" with a failure status, otherwise with a message box;
# - once the console is closed, "uninstall.exe /S" removes exactly what the
#   installer added: every file, folder and registry key it made, nothing else;
# - installed through its pages, the finish page starts no console (which
#   would run with the installer's administrator rights).
#   installer_xvfb.sh SETUP SIMULATOR STANDIN
set -euo pipefail
setup=$(readlink -f "$1")
simulator=$(readlink -f "$2")
standin=$(readlink -f "$3")
version=$(basename "$setup" | sed -nE 's/^rs232-kalvex-([0-9.]+)-setup\.exe$/\1/p')
. "$(dirname "$0")/window.sh"
# Runs a Windows program and waits until Wine has ended everything it
# started, so that the registry is written back to its files.
run_and_settle() {
    wine "$@"
    wineserver -w
}
# Every file and folder of drive C:, and every registry key, one a line.
# The temporary folders are left out: Wine and the uninstaller's copy of
# itself use them. Wine's registry files name a key only when it has values
# or no subkeys: its parents are added.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . | grep -v '/AppData/Local/Temp\(/\|$\)\|^\./windows/temp' |
        sort) >"$work/$1.files"
    sed -n 's/^\[\(.*\)\] [0-9]*$/\1/p' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" |
        awk -F'\\\\\\\\' '{ key = $1; print key; for (i = 2; i <= NF; i++) print key = key "\\\\" $i }' |
        sort -u >"$work/$1.keys"
}
# The entries of snapshot A that snapshot B lacks, for KIND (files, keys).
gone() { comm -23 "$work/$1.$3" "$work/$2.$3"; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RS232 Kalvex'
value() { wine reg query "$key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z]* *//p" | tr -d '\r'; }
folder_windows='C:\Program Files\RS232 Kalvex'
# Whether a console of the installed folder runs (Wine gives a Windows
# process the program's Windows path as its command line).
console_runs() { pgrep -f 'Program Files\\RS232 Kalvex\\[^\\]*\.exe' >/dev/null && echo yes || echo no; }

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
        [ "$(value UninstallString)" = "\"$folder_windows\\uninstall.exe\"" ] &&
        echo yes || echo no)"

simulator_on_com 12 "$simulator"
step "start the installed console"
wine "$folder_windows\\$(basename "$exe")" &
console_pid=$!
pids+=("$console_pid")
find_mapped_main_window
click 84 162  # "Nr portu:"
keys ctrl+a
xdotool type 12
open_port
click 552 58  # "Sprawdź status dysku"
answer=no
for _ in $(seq 60); do
    copy_all "$work/view.txt"
    [ "$(tr -d '\r' <"$work/view.txt")" = $'DATA\nOK CF READY' ] && answer=yes && break
    sleep 1
done
report "the installed console opened COM12 and shows the device's answer" "$answer"

step "uninstall while the console runs"
snapshot running
# In place (_?=FOLDER, unquoted, so through a batch file), so that its exit
# status is its own, not that of its copy of itself.
printf '@"%s\\uninstall.exe" %%1 _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$folder_windows" \
    "$folder_windows" >"$work/uninstall.bat"
status=0
wine cmd /c "$(windows_path "$work/uninstall.bat")" /S || status=$?
snapshot refused
report "a silent uninstall refuses while the console runs (exit status $status), removing nothing" \
    "$([ "$status" -eq 2 ] && [ -z "$(gone running refused files)$(gone running refused keys)" ] &&
        echo yes || echo no)"
wine cmd /c "$(windows_path "$work/uninstall.bat")" &
uninstaller=$!
# Its box carries the uninstaller's caption, which names the version.
box=$(find_window_matching "RS232 Kalvex ${version//./\\.}" 60 || true)
[ -z "${KALVEX_SHOTS:-}" ] || { mkdir -p "$KALVEX_SHOTS"; sleep 2; import -window root "$KALVEX_SHOTS/uninstall-refused.png"; }
[ -z "$box" ] || { xdotool windowfocus --sync "$box"; keys Escape; }
# Escape is "Anuluj": the box's gives up (status 2), a page's would cancel
# (status 1).
status=0
timeout 60 tail --pid="$uninstaller" -f /dev/null || kill "$uninstaller" 2>/dev/null || true
wait "$uninstaller" || status=$?
snapshot refused
report "the uninstaller says so in a box; cancelled, it ends (status $status), removing nothing" \
    "$([ -n "$box" ] && [ "$status" -eq 2 ] &&
        [ -z "$(gone running refused files)$(gone running refused keys)" ] && echo yes || echo no)"

step "close the console"
click 576 338  # "Zakończ program"
for _ in $(seq 300); do kill -0 "$console_pid" 2>/dev/null || break; sleep 0.1; done
wineserver -w
snapshot used

step "uninstall silently"
# The uninstaller copies itself away and runs from there; Wine's end is the
# end of both.
run_and_settle "$folder_windows\\uninstall.exe" /S
snapshot removed
# Exactly what the installer added goes: what the console's use added
# (its settings) stays, and nothing else changes.
for kind in files keys; do
    what=$([ "$kind" = files ] && echo "files and folders" || echo "registry keys")
    comm -13 "$work/before.$kind" "$work/installed.$kind" >"$work/made.$kind"
    comm -23 "$work/used.$kind" "$work/made.$kind" >"$work/expected.$kind"
    echo "the installer made $(wc -l <"$work/made.$kind") $what"
    report "the uninstaller removed exactly the $what that the installer made" \
        "$([ -s "$work/made.$kind" ] && cmp -s "$work/expected.$kind" "$work/removed.$kind" &&
            echo yes || echo no)"
    diff "$work/expected.$kind" "$work/removed.$kind" | sed -n 's/^< /  removed too: /p; s/^> /  left: /p' || true
done

step "install through the installer's pages"
wine "$setup" &
installer=$!
# Enter takes each page's default button: "Zainstaluj", then, once the
# files are in, "Zakończ".
page=$(find_window_matching '^Instalator RS232 Kalvex' 60)
for _ in $(seq 90); do
    kill -0 "$installer" 2>/dev/null || break
    xdotool windowfocus --sync "$page" key Return 2>/dev/null || true
    sleep 1
done
report "the installer ended at its finish page, and started no console" \
    "$(! kill -0 "$installer" 2>/dev/null && [ -f "$folder/uninstall.exe" ] &&
        [ "$(console_runs)" = no ] && echo yes || echo no)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
