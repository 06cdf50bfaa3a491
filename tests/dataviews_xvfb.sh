#!/usr/bin/env bash
# The bytes and when they came, in the real console in a real window under
# Xvfb, with the device simulator on port 2 at the line's own 9600 baud:
# with "Czas odbioru" turned on (Ctrl+T) after a first reply came,
# "Odczytaj wszystko" shows its lines with their receive times in a margin
# that copying leaves out, and the count of received bytes rises while they
# come; a save of type "Tekst z czasem odbioru" writes each received line
# with its time, the reply before Ctrl+T too; the hex view (Ctrl+H) copies
# as the rows of the bytes, and follows the end while a dump comes; the
# rate, 0 B/s after a pause, is the device's own two seconds after the bytes
# come again.
#   dataviews_xvfb.sh CONSOLE SIMULATOR PYTHON
# With KALVEX_SHOTS=FOLDER it keeps its pictures there: the margin, the
# count, the hex view.
set -euo pipefail
console=$1
simulator=$2
python=$3
lines=60

. "$(dirname "$0")/xvfb.sh"
start_display
shots=${KALVEX_SHOTS:-$work}
mkdir -p "$shots"

# The simulator at 9600 baud: a dump of $lines lines takes about four
# seconds, long enough to watch it come.
step "start the device simulator at 9600 baud"
"$simulator" --quiet --preload "$lines" --link "$work/port2" >/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/port2" ] && break; sleep 0.05; done
export RS232_PORT_2="$work/port2"

# Waits until the view's text holds TEXT, copying it to FILE; until it holds
# the reply's end; in the hex view, until the bytes of its rows do.
wait_for() {
    for _ in $(seq 60); do
        copy_all "$2"
        grep -q "$1" "$2" && return
        sleep 0.5
    done
    return 1
}
wait_for_end() { wait_for "END $lines" "$1"; }
wait_for_rows_end() {
    for _ in $(seq 60); do
        copy_all "$1"
        "$python" -c 'import sys
data = b"".join(bytes.fromhex(row[10:60]) for row in open(sys.argv[1]))
sys.exit(not data.endswith(sys.argv[2].encode() + b"\r\n"))' "$1" "END $lines" && return
        sleep 0.5
    done
    return 1
}
# A picture of the window, kept where ImageMagick is installed.
shot() {
    if command -v import >/dev/null; then
        import -window "$window" "$shots/$1.png"
        echo "picture: $shots/$1.png"
    fi
}
# A digest of the pixels of a part of the window, X Y W H in its client
# area, read with Xlib's XGetImage (the test tools install no picture tools).
pixels() {
    "$python" - "$window" "$@" <<'EOF'
import ctypes, hashlib, sys
class XImage(ctypes.Structure):
    _fields_ = [(name, ctypes.c_int) for name in ("width", "height", "xoffset", "format")] + \
        [("data", ctypes.c_void_p)] + [(name, ctypes.c_int) for name in (
            "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "depth",
            "bytes_per_line")]
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
display = x11.XOpenDisplay(None)
window, x, y, w, h = (int(v) for v in sys.argv[1:6])
image = x11.XGetImage(display, window, x, y, w, h, 0xFFFFFFFF, 2).contents  # ZPixmap
print(hashlib.sha1(ctypes.string_at(image.data, image.bytes_per_line * h)).hexdigest())
EOF
}
# Reports whether a part of the window, X Y W H, changes within 1.2 s;
# keeps a picture named NAME.
changes() {
    local what=$1 name=$2 first
    first=$(pixels "${@:3}")
    sleep 1.2
    [ "$first" != "$(pixels "${@:3}")" ] && report "$what" yes || report "$what" no
    shot "$name"
}

# The count's debug lines, with the time each was shown.
QT_LOGGING_RULES=kalvex.ui.debug=true QT_MESSAGE_PATTERN='%{time process} %{message}' \
    "$console" 2>"$work/console.log" &
pids+=($!)
find_main_window
open_port

step "a reply before the receive times are shown"
clear_data
status
wait_for "OK CF READY" "$work/view.txt"

step "receive times and the count while a dump comes"
view
keys ctrl+t
read_all
sleep 1.2
changes "the count of received bytes rises while the dump comes" count 8 376 633 16
wait_for_end "$work/view.txt" || true
# A line the operator types has no time.
keys ctrl+End
xdotool type --delay 20 'uwaga'
sleep 0.3
shot margin
copy_all "$work/view.txt"
grep -q "^LINE 000001 " "$work/view.txt" && ! grep -qE '[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}' \
    "$work/view.txt" && report "copying leaves the margin's times out" yes ||
    report "copying leaves the margin's times out" no

step "a save with receive times"
view
keys ctrl+s
timeout 10 xdotool search --sync --name '^Zapisz jako$' >/dev/null
sleep 0.5
keys ctrl+a
xdotool type --delay 20 "$work/timed.txt"
# The file's type: its list follows the name; the last entry is the timed
# text. Enter takes the dialog.
keys Tab End
keys Return
for _ in $(seq 50); do [ -s "$work/timed.txt" ] && break; sleep 0.1; done
"$python" - "$work/timed.txt" "$work/view.txt" <<'EOF' && report "the timed save writes each line with its time" yes || report "the timed save writes each line with its time" no
import re, sys
timed = open(sys.argv[1], "rb").read().decode("cp1250")
view = open(sys.argv[2], "rb").read().decode("utf-8")
lines = timed.split("\r\n")
if lines[-1] == "":
    lines.pop()
untimed = "\r\n".join(re.sub(r"^(\d\d:\d\d:\d\d\.\d\d\d)?\t", "", l, count=1) for l in lines)
assert untimed == view, "the lines without their times are not the view's"
assert lines[-1] == "\tuwaga", lines[-1]
assert lines[0].endswith("\tOK CF READY"), lines[0]
stamps = [l.split("\t")[0] for l in lines[:-1]]
assert all(re.fullmatch(r"\d\d:\d\d:\d\d\.\d\d\d", s) for s in stamps), stamps[:3]
assert stamps == sorted(stamps) and stamps[0] != stamps[-1], (stamps[0], stamps[-1])
print(f"{len(stamps)} received lines, {stamps[0]} to {stamps[-1]}")
EOF

step "the hex view"
view
keys ctrl+h
sleep 0.3
shot hex
copy_all "$work/rows.txt"
"$python" - "$work/rows.txt" "$work/view.txt" <<'EOF' && report "the hex view copies as the rows of the view's bytes" yes || report "the hex view copies as the rows of the view's bytes" no
import sys
rows = open(sys.argv[1], encoding="utf-8").read()
data = open(sys.argv[2], "rb").read().decode("utf-8").encode("cp1250")
expected = ""
for at in range(0, len(data), 16):
    chunk = data[at:at + 16]
    hexes = [f"{b:02X}" for b in chunk] + ["  "] * (16 - len(chunk))
    text = "".join(chr(b) if 0x20 <= b < 0x7F else "." for b in chunk)
    expected += f"{at:08X}  {' '.join(hexes[:8])}  {' '.join(hexes[8:])}  |{text}|\n"
assert rows == expected, (rows[:240], expected[:240])
print(f"{rows.count(chr(10))} rows")
EOF

step "the hex view follows a dump"
clear_data
read_all
sleep 1.5
# The view without its scroll bars, which change whether it follows or not.
changes "the hex view follows the end while the dump comes" hex-following 26 482 560 130
wait_for_rows_end "$work/rows-2.txt" && report "the hex view shows the dump to its end" yes ||
    report "the hex view shows the dump to its end" no
keys ctrl+End
shot hex-end

step "the rate after the pause before that dump"
sleep 2.5  # until the count says 0 B/s again
"$python" - "$work/console.log" <<'EOF' && report "the rate falls to 0 B/s in a pause, and is the device's two seconds after it" yes || report "the rate falls to 0 B/s in a pause, and is the device's two seconds after it" no
import re, sys
# (seconds, bytes, B/s), as the count was shown four times a second while
# bytes came, and once more as they stopped.
shown = [(float(m[1]), int(m[2].replace(" ", "")), int(m[3].replace(" ", "")))
         for m in re.finditer(r"(\d+\.\d+) Odebrano: ([\d ]+) B \S+ ([\d ]+) B/s",
                              open(sys.argv[1], encoding="utf-8", errors="replace").read())]
# The pause: the last gap in the showing after which the count rose.
pause = max(i for i in range(1, len(shown))
            if shown[i][0] - shown[i - 1][0] > 1 and shown[i][1] > shown[i - 1][1])
before, first = shown[pause - 1], shown[pause]
assert before[2] == 0, f"the last rate before the pause: {before}"
last_rise = max(i for i in range(1, pause) if shown[i][1] > shown[i - 1][1])
assert before[0] - shown[last_rise][0] <= 2.5, f"0 B/s only at {before}, bytes to {shown[last_rise]}"
# The dump after it: from its first bytes (a tick before they were first
# shown) to the last rise.
end = max(i for i in range(pause, len(shown)) if shown[i][1] > shown[i - 1][1])
start = first[0] - 0.25
assert shown[end][0] - start >= 2.5, f"a dump too short to tell: {first} to {shown[end]}"
device = (shown[end][1] - before[1]) / (shown[end][0] - start)
at_two = next(s for s in shown[pause:] if s[0] >= start + 2)
print(f"pause {first[0] - before[0]:.1f} s; two seconds on: {at_two[2]} B/s at "
      f"{at_two[0] - start:.2f} s; the device: {device:.0f} B/s")
assert at_two[0] - start <= 2.3 and abs(at_two[2] - device) <= 0.15 * device
EOF

step "the results: every check above passed"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
