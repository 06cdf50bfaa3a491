#include "replugwatch.h"

#include "portlock.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

namespace {

// The slowest a look comes, and how long a folder's burst of changes (a
// node, then its permissions) is let settle before one.
constexpr int kPollMs = 1000;
constexpr int kSettleMs = 20;

}  // namespace

ReplugWatch::ReplugWatch(PortDirectory ports, QObject *parent)
    : QObject(parent), m_ports(std::move(ports)) {
    m_poll.setInterval(kPollMs);
    m_poll.setTimerType(Qt::CoarseTimer);
    m_soon.setInterval(kSettleMs);
    m_soon.setSingleShot(true);
    connect(&m_poll, &QTimer::timeout, this, &ReplugWatch::look);
    connect(&m_soon, &QTimer::timeout, this, &ReplugWatch::look);
}

bool ReplugWatch::canComeBack(const PortNumber::NumberedPort &port) {
    return !port.device.startsWith(QLatin1String("/dev/pts/"));
}

void ReplugWatch::start(const PortNumber::NumberedPort &port) {
    stop();
    m_port = port;
    m_goneLink = ptyLink(port.device);
#ifndef Q_OS_WIN
    // A folder's changes show the device coming back. COM ports are no
    // files: on Windows the look once a second finds them.
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_soon.isActive())
            m_soon.start();
    });
    // A device known by its serial number may come back under any name.
    watchNearest(bySerialNumber() ? m_ports.roots().dev : QFileInfo(port.device).absolutePath());
#endif
    m_poll.start();
}

void ReplugWatch::stop() {
    m_port.reset();
    m_goneLink.reset();
    m_poll.stop();
    m_soon.stop();
    delete m_watcher;
    m_watcher = nullptr;
}

void ReplugWatch::look() {
    if (const auto port = find())
        emit deviceBack(*port);
}

std::optional<PortNumber::NumberedPort> ReplugWatch::find() {
    if (!m_port)
        return std::nullopt;
    // A mapped number's device is the path its mapping names.
    QString path = m_port->device;
#ifdef Q_OS_WIN
    // COM ports are no files: the system's listing says whether it is back.
    const auto listed = findAmong(*m_port, path, m_ports.systemPorts());
    if (!listed)
        return std::nullopt;
    path = *listed;
#else
    if (bySerialNumber()) {
        const auto listed = findAmong(*m_port, path, m_ports.systemPorts());
        if (!listed)
            return std::nullopt;
        path = *listed;
    }
    const bool present =
        !PortLocks::realDevice(path).isEmpty() && (!m_goneLink || ptyLink(path) != m_goneLink);
    // A folder that was gone (/dev/serial/by-id with the last adapter) may
    // be back: watch the nearest one there is.
    if (m_watcher && !bySerialNumber())
        watchNearest(QFileInfo(path).absolutePath());
    if (!present)
        return std::nullopt;
#endif
    PortNumber::NumberedPort now = *m_port;
    now.device = path;
    return now;
}

std::optional<QString> ReplugWatch::findAmong(const PortNumber::NumberedPort &awaited,
                                              const QString &path,
                                              const QList<PortNumber::PortRecord> &ports,
                                              PortNumber::Scheme scheme) {
    const bool bySerial = bySerialNumber(awaited);
    const Qt::CaseSensitivity cs =
        scheme == PortNumber::Scheme::ComNumber ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (const PortNumber::PortRecord &p : ports) {
        if (p.phantom)
            continue;
        const bool same = bySerial ? p.serialNumber == awaited.port->serialNumber
                                   : PortNumber::deviceOf(p, scheme).compare(path, cs) == 0 ||
                                         p.systemLocation.compare(path, cs) == 0;
        if (same)
            return PortNumber::deviceOf(p, scheme);
    }
    return std::nullopt;
}

std::optional<ReplugWatch::LinkIdentity> ReplugWatch::ptyLink(const QString &path) {
#ifdef Q_OS_LINUX
    const QFileInfo link(path);
    if (!link.isSymLink() || !link.symLinkTarget().startsWith(QLatin1String("/dev/pts/")))
        return std::nullopt;
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return LinkIdentity{quint64(status.st_dev), quint64(status.st_ino),
                        qint64(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec};
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}

bool ReplugWatch::bySerialNumber(const PortNumber::NumberedPort &port) {
    return !port.mapped && port.port && !port.port->serialNumber.isEmpty();
}

void ReplugWatch::watchNearest(QString folder) {
    while (!QFileInfo(folder).isDir()) {
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder)
            return;
        folder = up;
    }
    const QStringList watched = m_watcher->directories();
    if (watched.size() == 1 && watched.first() == folder)
        return;
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    m_watcher->addPath(folder);
}
