#pragma once

// Tells a profiler that records the benchmark with a control FIFO (perf
// record --control fifo:CTL,ACK -D -1, as bench/profile.sh runs it) when the
// measured stretch begins and ends, so that start-up and the checks after it
// stay out of the profile. Without KALVEX_PERF_CTL and KALVEX_PERF_ACK in the
// environment both calls do nothing.
namespace ProfileWindow {

void begin();
void end();

}  // namespace ProfileWindow
