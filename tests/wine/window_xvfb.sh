#!/usr/bin/env bash
# The Windows build as a user gets it, in a real window under Wine 10 and
# Xvfb: the console from the portable zip, unpacked into a folder of its own,
# with the device simulator on COM2 (a pty behind Wine's COM port, answering
# as a UART through the stand-in). The card holds a line of Polish letters in
# Windows-1250 and 20,000 generated lines, 1.2 MB. Checked:
# - --version answers in a console;
# - --log into a folder that is not there: exit 1, the file named whole;
# - the console starts with --log, its window 649x666 with its icons drawn;
# - "Otwórz port" opens COM2, "Sprawdź status dysku" shows the device's answer;
# - "Odczytaj wszystko" brings the whole card into the DATA view, exact;
# - Ctrl+S into Windows' own save dialog writes "DATA" CR LF and exactly the
#   bytes received (Windows-1250, CR LF as they came);
# - the hex view copies as the rows of those bytes;
# - "Zamknij port" closes COM2 (a command then gets "Port zamknięty..."), and
#   a second "Otwórz port" opens it and receives again;
# - "Zakończ program" ends the process, and --log's file holds exactly the
#   bytes received;
# - a scenario run headless (--run) on COM2: a pass exits with 0 and a JUnit
#   report of its steps, a failed size check with 1 at that step.
#   window_xvfb.sh ZIP SIMULATOR STANDIN
# STANDIN is libkalvex-uart-standin.so of the Linux build. With
# KALVEX_SHOTS=FOLDER it keeps pictures of the window there (ImageMagick's
# import, where installed).
set -euo pipefail
zip=$(readlink -f "$1")
simulator=$(readlink -f "$2")
standin=$(readlink -f "$3")
version=$(basename "$zip" | sed -nE 's/^rs232-kalvex-([0-9.]+)-windows-x64\.zip$/\1/p')
. "$(dirname "$0")/window.sh"
# Pixels drawn in a 24x16 piece of the window, besides its background.
drawn() { python3 "$here/drawn.py" $((X + $1)) $((Y + $2)) 24 16; }
shots=${KALVEX_SHOTS:-}
shot() {
    [ -n "$shots" ] && command -v import >/dev/null || return 0
    mkdir -p "$shots"
    import -window "$window" "$shots/$1.png"
    echo "picture: $shots/$1.png"
}
# Whether the DATA view, copied through the clipboard into FILE, is the text
# of the bytes in EXPECTED: Windows-1250, CR LF (Wine hands the clipboard to
# X with LF line ends). Waits up to SECONDS for it, as bytes may still come.
view_is() {
    local file=$1 expected=$2 seconds=$3 deadline=$((SECONDS + $3))
    while :; do
        copy_all "$file"
        python3 -c 'import sys
view = open(sys.argv[1], "rb").read().decode("utf-8", "replace")
sys.exit(view != open(sys.argv[2], "rb").read().decode("cp1250").replace("\r\n", "\n"))' \
            "$file" "$expected" && return 0
        [ $SECONDS -lt $deadline ] || return 1
        sleep 1
    done
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
printf 'zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ\r\n' | iconv -f UTF-8 -t WINDOWS-1250 >"$work/card"
simulator_on_com 2 "$simulator" --preload 20000 --card-size 100000000 --image "$work/card"

step "--version in a console"
answer=$(timeout 90 script -qec "wine cmd /c \"$(windows_path "$exe")\" --version" /dev/null |
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d ' \r\n')
report "--version answers in a console ($answer)" \
    "$([ "$answer" = "rs232-kalvex$version" ] && echo yes || echo no)"

step "--log into a folder that is not there"
status=0
timeout 90 wine "$exe" --log "$(windows_path "$work/Żółw nie ma/capture.log")" \
    >"$work/nolog.out" 2>&1 || status=$?
report "it ends with 1, naming the file with its Polish letters in UTF-8" \
    "$([ "$status" = 1 ] && grep -q 'rs232-kalvex: --log .*Żółw nie ma' "$work/nolog.out" &&
        echo yes || echo no)"

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
status_reply=$'OK CF READY\r\n'
printf 'DATA\r\n%s' "$status_reply" >"$work/expected-view"
open_port
click 552 58  # "Sprawdź status dysku"
report "\"Otwórz port\" opened COM2, no failure box" "$([ -z "$(failure_box)" ] && echo yes || echo no)"
report "\"Sprawdź status dysku\" shows the device's answer" \
    "$(view_is "$work/view.txt" "$work/expected-view" 60 && echo yes || echo no)"

step "\"Odczytaj wszystko\" of the whole card"
lines=$(wc -l <"$work/card")
{ printf '%s' "$status_reply"; cat "$work/card"; printf 'END %d\r\n' "$lines"; } >"$work/received"
{ printf 'DATA\r\n'; cat "$work/received"; } >"$work/expected-view"
read_all
started=$SECONDS
wait_for_size "$work/capture.log" "$(stat -c %s "$work/received")" 180 || true
echo "the card: $lines lines, $(stat -c %s "$work/card") bytes; in the log after $((SECONDS - started)) s"
report "the whole card arrives in the DATA view, exact" \
    "$(view_is "$work/view.txt" "$work/expected-view" 120 && echo yes || echo no)"
keys ctrl+End
shot after-read-all

step "Ctrl+S into Windows' save dialog"
view
keys ctrl+s
# Wine names the dialog before it maps it; keys go to it once it has focus,
# which a busy machine may give it late.
dialog=$(timeout 60 xdotool search --sync --onlyvisible --name '^Zapisz jako$' | head -n 1)
[ -z "$dialog" ] || xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 1
# The name field holds the offered name, selected: replaced by a whole path.
keys End shift+Home Delete
xdotool type --delay 20 "$(windows_path "$work/saved.txt")"
keys Return
wait_for_size "$work/saved.txt" "$(stat -c %s "$work/expected-view")" 60 || true
report "Ctrl+S writes \"DATA\" CR LF and exactly the bytes received" \
    "$(cmp "$work/saved.txt" "$work/expected-view" && echo yes || echo no)"

step "the hex view"
view
keys ctrl+h
view
keys ctrl+a ctrl+c
# Six megabytes of rows take Wine a while to offer: until then the
# clipboard holds the text copied before.
for _ in $(seq 60); do
    timeout 20 xclip -o -selection clipboard >"$work/rows.txt" 2>/dev/null || true
    [ "$(head -c 8 "$work/rows.txt")" = 00000000 ] && break
    sleep 0.5
done
keys ctrl+h
python3 - "$work/rows.txt" "$work/expected-view" <<'EOF' && hex=yes || hex=no
import sys
rows = open(sys.argv[1], encoding="utf-8").read().splitlines()
data = b"".join(bytes.fromhex(row[10:60]) for row in rows)
expected = open(sys.argv[2], "rb").read()
print(f"{len(rows)} rows, {len(data)} bytes")
sys.exit(data != expected or [int(row[:8], 16) for row in rows] != list(range(0, len(data), 16)))
EOF
report "the hex view copies the bytes received, as rows" "$hex"

step "\"Zamknij port\", then \"Otwórz port\" again"
click 68 112  # "Zamknij port"
click 552 58  # "Sprawdź status dysku"
box=$(find_window "$title" 30 || true)
report "after \"Zamknij port\" a command is refused (\"Port zamknięty...\"), the device gets none" \
    "$([ -n "$box" ] && [ "$(device_dsta_count)" -eq 1 ] && echo yes || echo no)"
if [ -n "$box" ]; then
    xdotool windowfocus --sync "$box"
    keys Return
    for _ in $(seq 100); do [ -z "$(failure_box)" ] && break; sleep 0.1; done
fi
printf '%s' "$status_reply" >>"$work/received"
printf '%s' "$status_reply" >>"$work/expected-view"
open_port
click 552 58  # "Sprawdź status dysku"
report "a second \"Otwórz port\" opens COM2 and receives" \
    "$([ -z "$(failure_box)" ] && view_is "$work/view.txt" "$work/expected-view" 60 && echo yes || echo no)"

step "\"Zakończ program\""
click 576 338
for _ in $(seq 300); do kill -0 "$console_pid" 2>/dev/null || break; sleep 0.1; done
report "\"Zakończ program\" ends the process" \
    "$(kill -0 "$console_pid" 2>/dev/null && echo no || echo yes)"
report "--log holds exactly the bytes received ($(stat -c %s "$work/capture.log") bytes)" \
    "$(cmp "$work/capture.log" "$work/received" && echo yes || echo no)"

# The same device, as a production line runs a scenario on a Windows PC: no
# window, the report on standard output, the exit status, the JUnit report.
scenarios=$here/../scenarios
run_scenario() {
    status=0
    timeout 120 wine "$exe" --run "$(windows_path "$scenarios/$1.txt")" --port 2 \
        --junit "$(windows_path "$work/$1.xml")" >"$work/$1.out" 2>&1 || status=$?
    tr -d '\r' <"$work/$1.out"
}
step "a scenario that passes, run headless on COM2"
run_scenario repaired-card
report "--run of a passing scenario exits with 0 and says \"5 passed, 0 failed\"" \
    "$([ "$status" = 0 ] && grep -q '^5 passed, 0 failed' "$work/repaired-card.out" && echo yes || echo no)"
report "its report names the command with its Polish letters, in UTF-8" \
    "$(grep -q '^ok 3 - > WRTEzażółć 123 (' "$work/repaired-card.out" && echo yes || echo no)"
report "its JUnit report holds one run of 5 steps, none failed" \
    "$(python3 -c 'import sys, xml.etree.ElementTree as ET
suites = ET.parse(sys.argv[1]).getroot().findall("testsuite")
sys.exit(not (len(suites) == 1 and len(suites[0].findall("testcase")) == 5
              and not suites[0].findall("testcase/failure")))' "$work/repaired-card.xml" &&
        echo yes || echo no)"
step "a scenario whose size check fails, run headless on COM2"
run_scenario wrong-size
report "--run of a failing scenario exits with 1 at the failed step (\"not ok 5\")" \
    "$([ "$status" = 1 ] && grep -q '^not ok 5 - > DSIZ' "$work/wrong-size.out" && echo yes || echo no)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
