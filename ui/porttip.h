#pragma once

#include "portnumber.h"
#include "portstate.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QString>

class QPoint;
class QWidget;

// The tooltip of "Nr portu:" and its box: every number that names a port
// now, with its device, what the system says of it, and whether it can be
// opened. It is read when it opens and never opens a port (portstate.h).
class PortTip {
    Q_DECLARE_TR_FUNCTIONS(PortTip)

public:
    // The text for these numbered ports; `states` holds the state of each
    // port's device, by NumberedPort::device.
    static QString text(const QList<PortNumber::NumberedPort> &ports,
                        const QHash<QString, PortState> &states,
                        PortNumber::Scheme scheme = PortNumber::kNativeScheme);

    // The text for the system's ports and environment as they are now.
    static QString current();

    // Shows the tooltip for `widget` at `globalPos`, read afresh unless it is
    // already showing there.
    static void show(const QPoint &globalPos, QWidget *widget);

private:
    static QString stateText(const PortState &state);
};
