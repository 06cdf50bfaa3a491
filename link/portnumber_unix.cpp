#include "portnumber.h"

namespace PortNumber {

const Scheme kNativeScheme = Scheme::Ordered;

// Qt SerialPort's own listing opens built-in UARTs on the serial8250 driver
// to ask what they are; sysfs tells without opening anything.
QList<PortRecord> systemPorts(const SysfsPorts::Roots &roots) {
    return SysfsPorts::read(roots);
}

}  // namespace PortNumber
