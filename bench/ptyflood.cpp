#include "ptyflood.h"

#include "floodstream.h"
#include "floodwriter.h"
#include "procstats.h"
#include "ptydevice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <termios.h>

namespace {

// The console's open puts the terminal in raw mode; a pty starts canonical.
bool consoleOpened(int master) {
    termios t{};
    return ::tcgetattr(master, &t) == 0 && !(t.c_lflag & ICANON);
}

quint64 fileHash(const QString &path) {
    QFile file(path);
    quint64 hash = StreamHashSeed;
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        hash = streamHash(hash, chunk.constData(), chunk.size());
    }
    return hash;
}

}  // namespace

QJsonObject runPtyFlood(const QString &link, qint64 bytes, const QString &log, int timeoutMs) {
    PtyDevice pty;
    if (!pty.isValid())
        return {{"error", QStringLiteral("no pty")}};
    QFile::remove(link);
    if (!QFile::link(pty.slaveName(), link))
        return {{"error", QStringLiteral("cannot link %1").arg(link)}};
    QElapsedTimer waited;
    waited.start();
    while (!consoleOpened(pty.masterFd())) {
        if (waited.elapsed() > timeoutMs)
            return {{"error", QStringLiteral("the console did not open %1").arg(link)}};
        QThread::msleep(5);
    }
    const qint64 logBefore = QFileInfo(log).size();

    FloodWriter writer(pty.masterFd());
    const qint64 startNs = ProcStats::monotonicNs();
    writer.start(FloodStream(FloodStream::Shape::Lines, bytes));
    qint64 endNs = 0;
    while (endNs == 0) {
        if (QFileInfo(log).size() - logBefore >= bytes)
            endNs = ProcStats::monotonicNs();
        else if (ProcStats::monotonicNs() - startNs > qint64(timeoutMs) * 1'000'000)
            break;
        else
            QThread::usleep(500);
    }
    writer.stop();
    if (endNs == 0)
        return {{"error", QStringLiteral("the log held %1 of %2 bytes after %3 ms")
                              .arg(QFileInfo(log).size() - logBefore)
                              .arg(bytes)
                              .arg(timeoutMs)}};
    const double seconds = double(endNs - startNs) / 1e9;
    return {{"bytes", double(bytes)},
            {"seconds", seconds},
            {"mbPerSecond", double(bytes) / 1e6 / seconds},
            {"kept", logBefore == 0 && fileHash(log) == writer.hash()}};
}
