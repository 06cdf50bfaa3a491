#include "procstats.h"

#include <QByteArray>
#include <QFile>

#include <time.h>

namespace {

qint64 clockNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// A "Name:   1234 kB" line of a /proc file.
qint64 kibField(const QString &path, const QByteArray &name) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // /proc files report a size of 0; readAll() reads on to the end anyway.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

}  // namespace

namespace ProcStats {

qint64 monotonicNs() {
    return clockNs(CLOCK_MONOTONIC);
}

qint64 processCpuNs() {
    return clockNs(CLOCK_PROCESS_CPUTIME_ID);
}

qint64 threadCpuNs() {
    return clockNs(CLOCK_THREAD_CPUTIME_ID);
}

qint64 rssKiB(qint64 pid) {
    return kibField(
        pid == 0 ? QStringLiteral("/proc/self/status") : QStringLiteral("/proc/%1/status").arg(pid),
        "VmRSS:");
}

qint64 availableKiB() {
    return kibField(QStringLiteral("/proc/meminfo"), "MemAvailable:");
}

}  // namespace ProcStats
