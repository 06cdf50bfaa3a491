#!/usr/bin/env bash
# Where the console's time goes while it takes the benchmark's ordinary flood:
# records the flood alone (not start-up, not the checks after it) with perf's
# cpu-clock event and call graphs, then prints the window's thread's samples
# by what they were doing (bench/perfsummary.py).
#   bench/profile.sh [--quick] [--keep FILE]    FILE keeps the perf.data
# Needs perf to be allowed to sample (root, or kernel.perf_event_paranoid <= 1).
set -euo pipefail
bench_packages=(linux-perf python3)
keep=
args=()
while [ $# -gt 0 ]; do
    case $1 in
        --keep) keep=$2; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done
[ -n "$keep" ] && keep=$(realpath -m "$keep")
. "$(dirname "$0")/display.sh"

mkfifo "$work/ctl" "$work/ack"
KALVEX_PERF_CTL=$work/ctl KALVEX_PERF_ACK=$work/ack \
    perf record -q -e cpu-clock -F 1000 -g -D -1 --control "fifo:$work/ctl,$work/ack" \
    -o "$work/perf.data" -- build-bench/bench/kalvex-bench --scenario flood --view ours \
    "${args[@]}" | sed -n 's/^RESULT //p' >"$work/result"
python3 bench/perfsummary.py --result <"$work/result"
megabytes=$(python3 -c 'import json, sys; print(json.load(sys.stdin)["consumed"] / 1e6)' \
    <"$work/result")
perf script -i "$work/perf.data" -F pid,tid,ip,sym,dso 2>/dev/null |
    python3 bench/perfsummary.py --megabytes "$megabytes"
[ -n "$keep" ] && cp "$work/perf.data" "$keep"
exit 0
