#pragma once

#include <QString>

// Whether a serial device can be opened now, found out without opening it:
// opening a port toggles its modem lines, and that resets many devices. Only
// the device node's permissions, the UUCP lock files and the system's table
// of flock() holders are read.
struct PortState {
    enum Kind {
        Free,
        InUse,         // another program holds it (lock file or flock)
        OpenHere,      // this program holds it
        NoPermission,  // this user may not open it
        Missing,       // the path leads to no device
        Unknown,       // the system offers no way to tell (Windows)
    };
    Kind kind = Unknown;
    qint64 pid = 0;   // InUse: the holder, 0 when unknown
    QString program;  // InUse: the holder's name, when known
    QString group;    // NoPermission: the group whose members may use it

    // Reads the state of the device that `device` names.
    static PortState probe(const QString &device);
};
