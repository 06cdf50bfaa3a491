#!/usr/bin/env bash
# Scenarios run headless, as a production line or CI runs them: no display,
# no QT_QPA_PLATFORM, the device simulator on port 2. Exit status 0 for a
# pass, 1 for a failed step or a device that vanishes in the middle, 2 for
# what cannot run (a malformed or missing file, a port in use), with the
# reason; the JUnit report parses; --demo runs against its own simulator;
# SIGTERM ends a run by that signal, having reported what ran.
#   scenario_headless.sh CONSOLE SIMULATOR SCENARIOS PYTHON3
set -euo pipefail
console=$1
simulator=$2
scenarios=$3
python=$4

. "$(dirname "$0")/xvfb.sh"
fail() { echo "FAIL: $*"; exit 1; }
# The simulator logs each command it gets: nothing may reach it that a file
# did not ask for.
start_device() {
    step "start the device simulator"
    "$simulator" --fast --link "$work/port2" >/dev/null 2>>"$work/device.log" &
    device=$!
    pids+=("$device")
    for _ in $(seq 100); do [ -e "$work/port2" ] && break; sleep 0.05; done
    [ -e "$work/port2" ] || fail "the simulator made no $work/port2"
}
commands() { grep -c '^> ' "$work/device.log" || true; }
# Runs the console headless; sets status, out (standard output) and err.
run() {
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM RS232_PORT_2="$work/port2" \
        timeout 30 "$console" --run "$@" >"$work/out" 2>"$work/err" || status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}
expect() {
    local what=$1 want_status=$2 pattern=$3
    if [ "$status" = "$want_status" ] && grep -qE -- "$pattern" <<<"$out$err"; then
        report "$what" yes
    else
        report "$what: exit status $status, output:" no
        printf '%s\n%s\n' "$out" "$err"
    fi
}
junit() {
    "$python" - "$1" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
suites = root.findall("testsuite")
print(len(suites), sum(len(s.findall("testcase")) for s in suites),
      sum(len(s.findall("testcase/failure")) for s in suites),
      sum(len(s.findall("testcase/skipped")) for s in suites))
PY
}

start_device
step "a scenario that passes"
run "$scenarios/repaired-card.txt" --junit "$work/pass.xml"
expect "a pass exits with 0" 0 '^5 passed, 0 failed$'
grep -qx 'ok 3 - > WRTEzażółć 123 (.* ms)' <<<"$out" || report "a step's line: $out" no
[ "$(junit "$work/pass.xml")" = "1 5 0 0" ] && report "its JUnit report parses: 1 suite, 5 cases" yes ||
    report "its JUnit report: $(junit "$work/pass.xml")" no

step "a scenario with a failed step, twice"
run "$scenarios/wrong-size.txt" --repeat 2 --junit "$work/fail.xml"
expect "a failed step exits with 1" 1 \
    '^not ok 5 - > DSIZ: line 12 expected "SIZE 2097152", received "SIZE 1048576"$'
grep -qx '4 passed, 1 failed, 1 not run' <<<"$out" && grep -qx '2 runs: 0 passed, 2 failed' <<<"$out" &&
    report "each run reported, then both" yes || report "the runs' summaries: $out" no
[ "$(junit "$work/fail.xml")" = "2 12 2 2" ] &&
    report "its JUnit report parses: 2 suites, a failure and a skipped case each" yes ||
    report "its JUnit report: $(junit "$work/fail.xml")" no

step "files that cannot run"
sent=$(commands)
printf '> DSTA\n< OK CF READY\n> DSIZ\nexpect SIZE *\n' >"$work/malformed.txt"
run "$work/malformed.txt"
expect "a malformed file exits with 2, with its line" 2 \
    'malformed.txt: line 4: "expect SIZE \*" is not a command'
run "$work/missing.txt"
expect "a missing file exits with 2" 2 'missing.txt: cannot be read: No such file'
printf '> DSTA\n> WRTE\xe9t\xe9\n' >"$work/latin1.txt"
run "$work/latin1.txt"
expect "a file that is not UTF-8 exits with 2" 2 'latin1.txt: line 2: not UTF-8'
printf '> WRTE%01021d\n' 0 >"$work/long.txt"
run "$work/long.txt"
expect "a command of 1025 bytes exits with 2" 2 'line 1: the command is 1025 bytes'
printf '> WRTE 3 € → 4\n' >"$work/arrow.txt"
run "$work/arrow.txt"
expect "a character Windows-1250 lacks exits with 2" 2 'line 1: the command holds U\+2192'
run "$scenarios/repaired-card.txt" --junit "$work/no/such/folder.xml"
expect "a report that cannot be written exits with 2" 2 '--junit .*folder.xml: '
[ "$(commands)" = "$sent" ] && report "none of them sent the device a byte" yes ||
    report "the device got $(($(commands) - sent)) commands" no

step "a port that another run holds"
printf '> DSTA\n< OK CF READY\nwait 20000\n' >"$work/hold.txt"
: >"$work/device.log"
env -u DISPLAY RS232_PORT_2="$work/port2" "$console" --run "$work/hold.txt" >"$work/hold.out" &
holder=$!
pids+=("$holder")
for _ in $(seq 100); do grep -q 'DSTA' "$work/device.log" 2>/dev/null && break; sleep 0.05; done
sent=$(commands)
run "$scenarios/repaired-card.txt"
expect "a port in use exits with 2, with the reason" 2 '^rs232-kalvex: port 2 \(.*\): in use by process'
[ "$(commands)" = "$sent" ] && report "and sent nothing" yes || report "it sent commands" no
kill -TERM "$holder"
status=0
wait "$holder" || status=$?
[ "$status" = 143 ] && grep -qx 'not ok 1 - > DSTA: stopped' "$work/hold.out" &&
    report "SIGTERM ends a run by that signal, its step reported as stopped" yes ||
    report "after SIGTERM: status $status, $(cat "$work/hold.out")" no

step "the demo's own simulator"
status=0
out=$(env -u DISPLAY -u QT_QPA_PLATFORM -u RS232_PORT_2 TMPDIR="$work" \
    timeout 30 "$console" --demo --run "$scenarios/repaired-card.txt" 2>/dev/null) || status=$?
err=
expect "--demo --run passes against the demo's simulator" 0 '^5 passed, 0 failed$'

step "the device vanishes in the middle of a run"
printf '> DSTA\n< OK CF READY\nwait 20000\n> DSIZ\n' >"$work/vanish.txt"
: >"$work/device.log"
env -u DISPLAY RS232_PORT_2="$work/port2" "$console" --run "$work/vanish.txt" \
    >"$work/vanish.out" 2>/dev/null &
runner=$!
pids+=("$runner")
for _ in $(seq 100); do grep -q 'DSTA' "$work/device.log" && break; sleep 0.05; done
sleep 0.2
kill "$device"
status=0
timeout 10 tail --pid="$runner" -f /dev/null || true
wait "$runner" || status=$?
out=$(cat "$work/vanish.out")
err=
expect "a vanished device fails the step with the reason, exit 1" 1 \
    '^not ok 1 - > DSTA: line 3: the port failed: port 2 \(.*\): the device is gone'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
