#pragma once

#include <QString>
#include <QStringList>

namespace PortNumber {

// One serial port as the system reports it.
struct PortRecord {
    QString portName;        // "ttyUSB0", "cu.usbserial-1410", "COM3"
    QString systemLocation;  // "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    bool phantom = false;  // a device node that no hardware answers behind
    QStringList byId;      // its stable names, e.g. /dev/serial/by-id/usb-FTDI_...
};

}  // namespace PortNumber
