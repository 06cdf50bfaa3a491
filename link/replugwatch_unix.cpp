#include "replugwatch.h"

#include "portlock.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <sys/stat.h>

// Devices are files: a folder's changes show the device coming back.
void ReplugWatch::watchForDevice() {
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_soon.isActive())
            m_soon.start();
    });
    // A device known by its serial number may come back under any name.
    watchNearest(bySerialNumber() ? m_ports.roots().dev : QFileInfo(m_port->device).absolutePath());
}

std::optional<QString> ReplugWatch::locate() {
    // A mapped number's device is the path its mapping names.
    QString path = m_port->device;
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
    return path;
}

std::optional<ReplugWatch::LinkIdentity> ReplugWatch::ptyLink(const QString &path) {
    const QFileInfo link(path);
    if (!link.isSymLink() || !link.symLinkTarget().startsWith(QLatin1String("/dev/pts/")))
        return std::nullopt;
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return LinkIdentity{quint64(status.st_dev), quint64(status.st_ino),
                        qint64(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec};
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
