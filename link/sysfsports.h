#pragma once

#include "portrecord.h"

#include <QList>
#include <QString>

// The serial ports of a Linux system as sysfs describes them, found without
// opening any device: an open raises DTR and RTS and the close drops them,
// and many devices reset on that edge.
//
// A port is an entry of /sys/class/tty with a "device" link (virtual
// terminals, the console and pseudo-terminals have none). A UART of the
// serial core whose "type" is 0 (unknown) has no hardware behind it and is
// marked phantom. Description, maker and serial number are the "product",
// "manufacturer" and "serial" of the nearest USB device above the port;
// the names in /dev/serial/by-id that lead to the port come along. This
// holds for every kernel layout (built-in UARTs under the serial8250
// platform device before 6.5, under their own port devices after).
//
// Cost: one directory listing of each root and a few reads of small sysfs
// files per port; no device node is opened, only resolved.
namespace SysfsPorts {

// Where the system's ports are read; tests give trees of their own.
struct Roots {
    QString classTty = QStringLiteral("/sys/class/tty");
    QString dev = QStringLiteral("/dev");
};

// The ports under these roots, in the order the folder lists them.
QList<PortNumber::PortRecord> read(const Roots &roots = {});

}  // namespace SysfsPorts
