#!/usr/bin/env bash
# The Windows build as a user gets it, in a real window under Wine and Xvfb:
# the console from the portable zip, unpacked into a folder of its own, with
# the device simulator on COM2 (a pty behind Wine's COM port). It starts with
# --log and shows its window with the icons drawn; "Otwórz port" opens COM2
# and "Sprawdź status dysku" sends the device DSTA; Ctrl+S with a path typed
# into Windows' own save dialog writes a file equal to the DATA view, Polish
# letters included; --version answers in a console; "Zakończ program" ends
# the process.
#   window_xvfb.sh ZIP SIMULATOR
#
# Not checked here: the device's answer reaching the DATA view. Wine 8 never
# delivers it to Qt SerialPort's Windows backend: a WaitCommEvent whose
# OVERLAPPED has no event is done synchronously and posts nothing to the
# I/O completion port that Qt waits on, so Qt never starts a read (README,
# "Windows"). The suites feed received bytes to the same code directly.
set -euo pipefail
zip=$(readlink -f "$1")
simulator=$(readlink -f "$2")
version=$(basename "$zip" | sed -nE 's/^rs232-kalvex-([0-9.]+)-windows-x64\.zip$/\1/p')
. "$(dirname "$0")/window.sh"
# Pixels drawn in a 24x16 piece of the window, besides its background.
drawn() { python3 "$here/drawn.py" $((X + $1)) $((Y + $2)) 24 16; }
# The DATA view's whole text, through Ctrl+A and Ctrl+C; Wine hands the
# clipboard to X with LF line ends.
copy_view() {
    click 320 556
    keys ctrl+a ctrl+c
    timeout 20 xclip -o -selection clipboard >"$1" 2>/dev/null || true
}

start_display
step "unpack the zip"
[ -n "$version" ] || { echo "FAIL: $zip is not named rs232-kalvex-VERSION-windows-x64.zip"; exit 1; }
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
exe=$(find "$work/unpacked" -maxdepth 2 -name '*.exe' | head -n 1)
echo "program: ${exe#"$work/unpacked/"}"

step "make a Wine prefix"
make_wine_prefix "$work/prefix" x11
simulator_on_com 2 "$simulator"

step "--version in a console"
answer=$(timeout 60 script -qec "wine cmd /c \"$(windows_path "$exe")\" --version" /dev/null |
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d ' \r\n')
report "--version answers in a console ($answer)" \
    "$([ "$answer" = "rs232-kalvex$version" ] && echo yes || echo no)"

step "start the console"
wine "$exe" --log "$(windows_path "$work/capture.log")" &
console_pid=$!
pids+=("$console_pid")
find_mapped_main_window
echo "window $window at $X,$Y, ${WIDTH}x$HEIGHT"
report "the main window is 649x666" "$([ "$WIDTH.$HEIGHT" = 649.666 ] && echo yes || echo no)"
report "--log made its file" "$([ -f "$work/capture.log" ] && echo yes || echo no)"
# The banner's picture and the icons of "O programie..." and "Zakończ
# program", above their captions: ICO files, which Qt reads only with the ICO
# plugin. Each draws 150 to 300 pixels there; without it there are none.
for place in "banner 159 413" "about 563 250" "exit 563 314"; do
    read -r what at_x at_y <<<"$place"
    n=$(drawn "$at_x" "$at_y")
    report "the $what icon shows ($n pixels)" "$([ "$n" -ge 50 ] && echo yes || echo no)"
done

step "open COM2 and ask for the disk's status"
click 68 64   # "Otwórz port"
click 552 58  # "Sprawdź status dysku"
report "\"Otwórz port\" opened COM2 and the device got DSTA" "$(device_got_dsta)"
failure=$(xdotool search --name '^RS232 Kalvex v1\.0$' 2>/dev/null | head -n 1 || true)
report "no failure box" "$([ -z "$failure" ] && echo yes || echo no)"

step "paste Polish text into the DATA view"
printf 'zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ' | xclip -selection clipboard -i
click 320 556
keys ctrl+End Return ctrl+v
step "Ctrl+S into Windows' save dialog"
keys ctrl+s
timeout 20 xdotool search --sync --name '^Zapisz jako$' >/dev/null
sleep 1
# The name field holds the offered name, selected: replaced by a whole path.
keys End shift+Home Delete
xdotool type --delay 20 "$(windows_path "$work/saved.txt")"
keys Return
for _ in $(seq 100); do [ -s "$work/saved.txt" ] && break; sleep 0.1; done
copy_view "$work/view.txt"
iconv -f WINDOWS-1250 -t UTF-8 "$work/saved.txt" 2>/dev/null | tr -d '\r' >"$work/saved-utf8.txt" || true
printf 'saved: '; od -An -c "$work/saved.txt" | head -n 2
report "Ctrl+S writes the view, in Windows-1250 with CR LF" \
    "$(cmp -s "$work/saved-utf8.txt" "$work/view.txt" &&
        grep -q $'^DATA\r$' "$work/saved.txt" && grep -q 'ĄĆĘŁŃÓŚŹŻ' "$work/view.txt" &&
        echo yes || echo no)"

step "\"Zakończ program\""
click 576 338
for _ in $(seq 150); do kill -0 "$console_pid" 2>/dev/null || break; sleep 0.1; done
report "\"Zakończ program\" ends the process" \
    "$(kill -0 "$console_pid" 2>/dev/null && echo no || echo yes)"

echo "not checked: the device's answer in the DATA view (Wine 8 does not deliver it to Qt SerialPort)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
