#include "portconnection.h"

#include "commerror.h"
#include "mscomm.h"
#include "portnumber.h"

namespace PortConnection {

void open(MSComm &port, const QString &portNumberText) {
    const auto number = PortNumber::parse(portNumberText);
    if (!number)
        throw CommError("not a port number");
    port.setCommPort(*number);
    port.setSettings(QString::fromLatin1(kLineSettings));
    port.setRThreshold(1);
    port.setInputLen(0);
    if (!port.portOpen())
        port.setPortOpen(true);
}

void close(MSComm &port) {
    if (port.portOpen())
        port.setPortOpen(false);
}

}  // namespace PortConnection
