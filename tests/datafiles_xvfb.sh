#!/usr/bin/env bash
# Keeping what the device sent, in the real console in a real window under
# Xvfb, with the device simulator on port 2: Ctrl+S with a path typed into
# the dialog writes a file equal to the DATA view, byte for byte; Ctrl+L
# with a path, then Ctrl+S over that same file (the overwrite confirmed),
# which is refused, then a flood, then kill -9 of the console leaves a
# receive log equal to everything that reached the view; and --log FILE
# does the same from the start, ended by SIGTERM, though its folder could
# not be looked into for a few seconds while the bytes came (no box, no byte
# lost).
#   datafiles_xvfb.sh CONSOLE SIMULATOR
# With KALVEX_SHOT=FILE.png it also saves a picture of the window with the
# receive log on.
set -euo pipefail
console=$1
simulator=$2
lines=20000

. "$(dirname "$0")/xvfb.sh"
# The title of the console's boxes, from the version it says it is.
title=$(program_title "$("$console" --version | awk '{print $NF}')")
start_display
start_simulator "$simulator" --card-size 8000000 --preload "$lines"
simulator_pid=${pids[-1]}

# Waits until the view ends with the reply to "Odczytaj wszystko", copying it
# to a file.
copy_after_flood() {
    for _ in $(seq 60); do
        copy_all "$1"
        tail -c 12 "$1" | grep -q "END $lines" && return
        sleep 0.5
    done
}
same() { cmp -s "$1" "$2" && echo yes || { cmp "$1" "$2" | head -n 3 >&2; echo no; }; }

"$console" &
console_pid=$!
pids+=("$console_pid")
find_main_window
open_port
view
keys ctrl+End
# xdotool reads its text in its locale's encoding, whatever the console's.
LC_ALL=C.UTF-8 xdotool type --delay 50 'zażółć '
status
# The answer takes longer than status() waits on a busy machine.
for _ in $(seq 40); do
    copy_all "$work/now.txt"
    grep -q 'OK CF READY' "$work/now.txt" && break
    sleep 0.25
done

# Ctrl+S: the default encoding, Windows-1250; the clipboard gives UTF-8.
view
keys ctrl+s
choose_file 'Zapisz jako' "$work/saved.txt"
for _ in $(seq 50); do [ -s "$work/saved.txt" ] && break; sleep 0.1; done
copy_all "$work/view.txt"
iconv -f WINDOWS-1250 -t UTF-8 "$work/saved.txt" >"$work/saved-utf8.txt" || true
report "Ctrl+S writes the view as it stands, byte for byte" \
    "$(same "$work/saved-utf8.txt" "$work/view.txt")"
grep -q $'^DATA\r$' "$work/saved.txt" && grep -q $'zażółć OK CF READY\r$' "$work/view.txt" &&
    report "the file holds the heading, the typed text and the reply" yes || {
    report "the file holds the heading, the typed text and the reply" no
    tail -c 200 "$work/view.txt" | od -c | tail -n 6 >&2
}

# Ctrl+L, a path, then Ctrl+S over the same file, then the flood, then
# kill -9.
view
keys ctrl+l
choose_file 'Zapisuj odbierane do pliku' "$work/received.log"
for _ in $(seq 50); do [ -e "$work/received.log" ] && break; sleep 0.1; done
step "save the view over the live receive log"
log_inode=$(stat -c %i "$work/received.log")
view
keys ctrl+s
choose_file 'Zapisz jako' "$work/received.log"
# The file dialog asks whether to replace the file: yes ("Tak", or "Yes"
# without Qt's Polish texts).
sleep 0.5
keys alt+t
if [ "$(xdotool search --name '^Zapisz jako$' 2>/dev/null | wc -l)" -gt 0 ]; then keys alt+y; fi
refusal=$(find_window "$title" 10 || true)
if [ -n "${KALVEX_SHOT_REFUSAL:-}" ] && [ -n "$refusal" ]; then
    import -window root "$KALVEX_SHOT_REFUSAL"
    echo "picture: $KALVEX_SHOT_REFUSAL"
fi
# Refused: a box, and the file at the path is the log's still.
[ -n "$refusal" ] && [ "$(stat -c %i "$work/received.log")" = "$log_inode" ] &&
    report "a save over the live receive log is refused" yes ||
    report "a save over the live receive log is refused" no
[ -z "$refusal" ] || keys Escape  # "Anuluj"
step "the flood into the receive log"
clear_data
read_all
copy_after_flood "$work/flood.txt"
kill -9 "$console_pid"
wait "$console_pid" 2>/dev/null || true
echo "received.log: $(stat -c %s "$work/received.log") bytes, the view $(stat -c %s "$work/flood.txt")"
report "after kill -9 the receive log equals everything that reached the view" \
    "$(same "$work/received.log" "$work/flood.txt")"

# --log FILE: on from the start; SIGTERM ends the console. A console killed
# with -9 leaves its terminal in exclusive mode (TIOCEXCL) for as long as
# the other side is open, and only root opens it then: the next console
# gets a new device.
step "a new simulator for the next console"
kill "$simulator_pid"
wait "$simulator_pid" 2>/dev/null || true
rm -f "$work/port2"
start_simulator "$simulator" --card-size 8000000 --preload "$lines"
# The log's folder is reached through a link, so that it can be made
# unreachable for a while: root reads any folder, so as root the link is
# made to lead to itself (ELOOP); otherwise the folder is made unreadable.
# Each change of the link is one rename: a moment without it would be a
# deleted file.
mkdir "$work/logs"
ln -s logs "$work/logdir"
point_logdir() { ln -s "$1" "$work/logdir.new" && mv -T "$work/logdir.new" "$work/logdir"; }
"$console" --log "$work/logdir/cli.log" &
console_pid=$!
pids+=("$console_pid")
find_main_window
open_port
if [ -n "${KALVEX_SHOT:-}" ]; then
    sleep 1  # the clock shows after its first tick
    import -window "$window" -frame "$KALVEX_SHOT"
    echo "picture: $KALVEX_SHOT"
fi
step "the log's folder unreachable for a few seconds while bytes come"
if [ "$(id -u)" = 0 ]; then point_logdir logdir; else chmod 000 "$work/logs"; fi
read_all
sleep 3  # ticks of the log's sync, each looking at its path
if [ "$(id -u)" = 0 ]; then point_logdir logs; else chmod 755 "$work/logs"; fi
copy_after_flood "$work/cli-view.txt"
[ "$(xdotool search --name "^${title//./\\.}\$" 2>/dev/null | wc -l)" = 0 ] &&
    report "a folder unreachable for a few seconds shows no box" yes ||
    report "a folder unreachable for a few seconds shows no box" no
kill -TERM "$console_pid"
wait "$console_pid" 2>/dev/null || true
printf 'DATA\r\n' | cat - "$work/logs/cli.log" >"$work/cli-expected.txt"
report "--log FILE logs from the start, its folder's trouble costing no byte; SIGTERM leaves it whole" \
    "$(same "$work/cli-expected.txt" "$work/cli-view.txt")"

step "the results: every check above passed"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
