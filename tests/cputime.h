#pragma once

#include <sys/resource.h>

// The CPU time this process has used so far, user and system, in seconds:
// what a test compares before and after a wait to catch a spinning loop.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
