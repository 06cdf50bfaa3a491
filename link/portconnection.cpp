#include "portconnection.h"

#include "commerror.h"
#include "mscomm.h"
#include "portnumber.h"

namespace PortConnection {

void open(MSComm &port, const QString &portNumberText) {
    const auto number = PortNumber::parse(portNumberText);
    if (!number) {
        // The text in the log is cut short: the box takes any length.
        constexpr qsizetype kShown = 40;
        const QString shown = portNumberText.size() > kShown
                                  ? portNumberText.left(kShown) + QStringLiteral("...")
                                  : portNumberText;
        throw CommError(QStringLiteral("\"%1\" is not a port number").arg(shown));
    }
    port.setCommPort(*number);
    port.setSettings(QString::fromLatin1(kLineSettings));
    port.setRThreshold(1);
    port.setInputLen(0);
    if (!port.portOpen())
        port.setPortOpen(true);
}

void close(MSComm &port) {
    // A port that waits for its device to come back is closed: closing it
    // ends the waiting, and is as silent as closing any closed port.
    if (port.portOpen() || port.awaitsDevice())
        port.setPortOpen(false);
}

}  // namespace PortConnection
