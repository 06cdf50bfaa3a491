#include "sysfstree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SysfsTree::SysfsTree() {
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("sys/class/tty"));
    root.mkpath(QStringLiteral("sys/devices/virtual/tty"));
    root.mkpath(QStringLiteral("dev/serial/by-id"));
}

SysfsPorts::Roots SysfsTree::roots() const {
    return {m_dir.filePath(QStringLiteral("sys/class/tty")), m_dir.filePath(QStringLiteral("dev"))};
}

QString SysfsTree::devPath(const QString &name) const {
    return m_dir.filePath(QStringLiteral("dev/") + name);
}

QString SysfsTree::sys(const QString &path) const {
    return m_dir.filePath(QStringLiteral("sys/") + path);
}

void SysfsTree::attribute(const QString &path, const QByteArray &value) {
    const QString file = sys(QStringLiteral("devices/") + path);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(value);
}

void SysfsTree::addPort(const QString &name, const QString &deviceFolder, const QByteArray &type) {
    const QString folder = deviceFolder + QStringLiteral("/tty/") + name;
    attribute(folder + QStringLiteral("/uevent"), "DEVNAME=" + name.toLatin1() + '\n');
    if (!type.isEmpty())
        attribute(folder + QStringLiteral("/type"), type);
    QFile::link(QStringLiteral("../.."), sys(QStringLiteral("devices/") + folder + "/device"));
    QFile::link(QStringLiteral("../../devices/") + folder,
                sys(QStringLiteral("class/tty/") + name));
}

void SysfsTree::addVirtual(const QString &name) {
    const QString folder = QStringLiteral("virtual/tty/") + name;
    attribute(folder + QStringLiteral("/uevent"), "DEVNAME=" + name.toLatin1() + '\n');
    QFile::link(QStringLiteral("../../devices/") + folder,
                sys(QStringLiteral("class/tty/") + name));
}

void SysfsTree::addNode(const QString &name, const QString &target) {
    const QString node = devPath(name);
    QFile::remove(node);
    if (!target.isEmpty()) {
        QFile::link(target, node);
        return;
    }
    QFile file(node);
    file.open(QIODevice::WriteOnly);
}

void SysfsTree::addById(const QString &linkName, const QString &name) {
    QFile::link(QStringLiteral("../../") + name,
                devPath(QStringLiteral("serial/by-id/") + linkName));
}

void SysfsTree::unplug(const QString &name) {
    QFile::remove(sys(QStringLiteral("class/tty/") + name));
    QFile::remove(devPath(name));
}
