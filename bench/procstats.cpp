#include "procstats.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#include <cstdio>

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

// The resident set is the second field of statm, in pages: the same count
// as VmRSS in status, read in a few microseconds rather than tens, which
// matters as a flood reads it every checkpoint on the console's thread.
qint64 rssKiB(qint64 pid) {
    const QByteArray path = pid == 0 ? QByteArrayLiteral("/proc/self/statm")
                                     : "/proc/" + QByteArray::number(pid) + "/statm";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[128];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return -1;
    text[n] = '\0';
    long long size = 0;
    long long resident = 0;
    if (std::sscanf(text, "%lld %lld", &size, &resident) != 2)
        return -1;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

qint64 stealNs() {
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // cpu  user nice system idle iowait irq softirq steal ...
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    if (fields.size() < 9 || fields.at(0) != "cpu")
        return -1;
    return fields.at(8).toLongLong() * (1'000'000'000 / ::sysconf(_SC_CLK_TCK));
}

qint64 availableKiB() {
    return kibField(QStringLiteral("/proc/meminfo"), "MemAvailable:");
}

}  // namespace ProcStats
