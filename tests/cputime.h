#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/resource.h>
#endif

// The CPU time this process has used so far, user and system, in seconds:
// what a test compares before and after a wait to catch a spinning loop.
inline double cpuSeconds() {
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return qQNaN();  // fails every comparison
    const auto ticks = [](FILETIME t) {
        return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7;  // in 100 ns
#else
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#endif
}
