#pragma once

#include "sysfsports.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A sysfs and a /dev of a test's own, laid out as the kernel lays them out,
// for SysfsPorts to read: sys/class/tty, sys/devices and dev in a temporary
// folder. Paths below sys/devices are given without that prefix.
class SysfsTree {
public:
    SysfsTree();

    bool isValid() const { return m_dir.isValid(); }
    SysfsPorts::Roots roots() const;
    QString devPath(const QString &name) const;

    // A file below sys/devices, e.g. the "serial" of a USB device.
    void attribute(const QString &path, const QByteArray &value);

    // The tty `name` of the device in `deviceFolder`: its folder
    // deviceFolder/tty/name with a "device" link to deviceFolder, and its
    // entry in class/tty; with a "type" when one is given (a UART).
    void addPort(const QString &name, const QString &deviceFolder, const QByteArray &type = {});

    // A tty without a device (a virtual terminal).
    void addVirtual(const QString &name);

    // dev/name: a link to `target` (a pty), or a plain file.
    void addNode(const QString &name, const QString &target = {});

    // dev/serial/by-id/linkName, leading to dev/name.
    void addById(const QString &linkName, const QString &name);

    // The device is gone: its class entry and its node.
    void unplug(const QString &name);

private:
    QString sys(const QString &path) const;

    QTemporaryDir m_dir;
};
