#!/usr/bin/env bash
# The DATA view in the real console, in a real window under Xvfb with the
# device simulator on port 2, driven with the keys
# and the mouse and read back through the clipboard: typed and received
# text, select all and delete, more received, undo and redo; find; the
# middle click; the find box closing with the main window, which ends the
# program.
#   dataview_xvfb.sh CONSOLE SIMULATOR
# With KALVEX_SHOT=FILE.png it also saves a picture of the window with the
# find box open and a match selected.
set -euo pipefail
console=$1
simulator=$2

. "$(dirname "$0")/xvfb.sh"
start_display
start_simulator "$simulator"

step "start the console"
"$console" &
console_pid=$!
pids+=("$console_pid")
find_main_window

failed=0
passed=0
# Places in the window's client area, at 96 dpi.
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click "${3:-1}"; sleep 0.3; }
keys() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
view() { click 324 556; }         # the DATA view
first_line() { click 31 492 "$@"; } # the start of its first line
status() { click 552 58; sleep 0.5; } # "Sprawdź status dysku": the device answers
# Characters one by one, so that CR and LF show.
dump() { od -An -c | tr -s ' \n' ' '; }
clipboard() { { timeout 5 xclip -o -selection clipboard 2>/dev/null || true; } | dump; }
# The view's whole text, through Ctrl+A and Ctrl+C, line ends as they are.
copy_all() {
    keys ctrl+a ctrl+c
    clipboard
}
expect() {
    local what=$1 want got
    want=$(printf '%b' "$2" | dump)
    got=$3
    report "$what" "$want" "$got"
}
# The view's whole text, read again until it is as expected or five seconds
# have passed: a reply may take a moment on a loaded machine.
expect_all() {
    local what=$1 want got
    want=$(printf '%b' "$2" | dump)
    for _ in $(seq 10); do
        got=$(copy_all)
        [ "$got" = "$want" ] && break
        sleep 0.2
    done
    report "$what" "$want" "$got"
}
report() {
    local what=$1 want=$2 got=$3
    if [ "$got" = "$want" ]; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what"
        echo "  want:$want"
        echo "  got: $got"
        failed=$((failed + 1))
    fi
}

step "type, and receive a reply"
click 68 64   # "Otwórz port"
view
keys ctrl+End
xdotool type --delay 50 'abc'
status
view
expect_all "the reply comes after what was typed" 'DATA\r\nabcOK CF READY\r\n'
step "select all, delete, undo and redo"
view
keys ctrl+a Delete
status
view
expect_all "select all and Delete emptied the view; the next reply came into it" \
    'OK CF READY\r\n'
keys ctrl+z
expect_all "Ctrl+Z brings back what was deleted, before what arrived since" \
    'DATA\r\nabcOK CF READY\r\nOK CF READY\r\n'
keys ctrl+y
expect_all "Ctrl+Y deletes it again" 'OK CF READY\r\n'
keys ctrl+z

# Find, any case: the match is selected; the picture shows it with the box.
step "find \"cf ready\""
keys ctrl+Home ctrl+f
box=$(find_window "Znajdź" 10)
xdotool type --delay 50 'cf ready'
keys Return
if [ -n "${KALVEX_SHOT:-}" ]; then
    sleep 0.5
    import -window root "$KALVEX_SHOT.screen.png"
    BX=$(xwininfo -id "$box" | awk '/Absolute upper-left X/ {print $4}')
    BY=$(xwininfo -id "$box" | awk '/Absolute upper-left Y/ {print $4}')
    BW=$(xwininfo -id "$box" | awk '/Width:/ {print $2}')
    BH=$(xwininfo -id "$box" | awk '/Height:/ {print $2}')
    left=$((X < BX ? X : BX)); top=$(((Y < BY ? Y : BY) - 30))
    right=$((X + WIDTH > BX + BW ? X + WIDTH : BX + BW)); bottom=$((Y + HEIGHT > BY + BH ? Y + HEIGHT : BY + BH))
    convert "$KALVEX_SHOT.screen.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$KALVEX_SHOT"
    rm -f "$KALVEX_SHOT.screen.png"
    echo "picture: $KALVEX_SHOT"
fi
keys Escape
keys ctrl+c
expect "the match found is what Ctrl+C copies" 'CF READY' "$(clipboard)"

step "paste with the middle click"
# The middle click pastes the primary selection where it clicks.
printf 'MID' | xclip -selection primary
first_line 2
expect_all "a middle click pastes the primary selection at the place clicked" \
    'MIDDATA\r\nabcOK CF READY\r\nOK CF READY\r\n'

# The find box goes with the main window, and the program ends.
step "close the main window with the find box open"
keys ctrl+f
find_window "Znajdź" 10 >/dev/null
click 576 336  # "Zakończ program"
ended=no
for _ in $(seq 50); do
    kill -0 "$console_pid" 2>/dev/null || { ended=yes; break; }
    sleep 0.1
done
expect "closing the main window with the find box open ends the program" yes \
    "$(printf '%s' "$ended" | dump)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
