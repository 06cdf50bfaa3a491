#include "sysfsports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace SysfsPorts {

namespace {

// A sysfs attribute, or nothing when the file is missing. Attributes end
// in a newline.
QByteArray attribute(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}

QString text(const QString &path) {
    return QString::fromUtf8(attribute(path)).simplified();
}

// The nearest USB device at or above a device folder: the first folder with
// an idVendor (an interface has none). Stops at the sysfs root.
QString usbDevice(const QString &device, const QString &top) {
    if (device.isEmpty() || top.isEmpty())
        return {};
    QDir dir(device);
    while (dir.path().startsWith(top + u'/')) {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("idVendor"))))
            return dir.path();
        if (!dir.cdUp())
            break;
    }
    return {};
}

// The links in dev/serial/by-id, by the real device each leads to.
QHash<QString, QStringList> stableNames(const QString &dev) {
    QHash<QString, QStringList> names;
    const QDir byId(dev + QStringLiteral("/serial/by-id"));
    for (const QFileInfo &link :
         byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            names[target] << link.absoluteFilePath();
    }
    return names;
}

}  // namespace

QList<PortNumber::PortRecord> read(const Roots &roots) {
    QList<PortNumber::PortRecord> ports;
    const QDir classTty(roots.classTty);
    // The root of this sysfs: class/tty is two folders below it.
    const QString top =
        QDir(QDir(roots.classTty).filePath(QStringLiteral("../.."))).canonicalPath();
    const QStringList entries = classTty.entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QHash<QString, QStringList> byId;
    bool byIdRead = false;
    for (const QString &name : entries) {
        const QString entry = classTty.filePath(name);
        const QFileInfo device(entry + QStringLiteral("/device"));
        if (!device.isSymLink() && !device.exists())
            continue;

        PortNumber::PortRecord port;
        port.portName = name;
        port.systemLocation = roots.dev + u'/' + name;
        // The serial core's UART type; 0 is PORT_UNKNOWN: nothing answered.
        const QByteArray type = attribute(entry + QStringLiteral("/type"));
        port.phantom = type.trimmed() == "0";
        if (const QString usb = usbDevice(device.canonicalFilePath(), top); !usb.isEmpty()) {
            port.description = text(usb + QStringLiteral("/product"));
            port.manufacturer = text(usb + QStringLiteral("/manufacturer"));
            port.serialNumber = text(usb + QStringLiteral("/serial"));
        }
        if (!byIdRead) {
            byId = stableNames(roots.dev);
            byIdRead = true;
        }
        if (!byId.isEmpty())
            port.byId = byId.value(QFileInfo(port.systemLocation).canonicalFilePath());
        ports.append(port);
    }
    return ports;
}

}  // namespace SysfsPorts
