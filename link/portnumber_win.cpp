#include "portnumber.h"

#include <QSerialPortInfo>

namespace PortNumber {

const Scheme kNativeScheme = Scheme::ComNumber;

QList<PortRecord> systemPorts(const SysfsPorts::Roots &) {
    QList<PortRecord> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.portName(),
                      info.systemLocation(),
                      info.description(),
                      info.manufacturer(),
                      info.serialNumber(),
                      false,
                      {}});
    return ports;
}

}  // namespace PortNumber
