#pragma once

#include "portdirectory.h"
#include "portnumber.h"
#include "portstate.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class QPoint;
class QWidget;

// The tooltip of "Nr portu:" and its box: every number that names a port
// now, with its device, what the system says of it, and whether it can be
// opened. It is read when it opens and never opens a port (portstate.h,
// sysfsports.h).
class PortTip {
    Q_DECLARE_TR_FUNCTIONS(PortTip)

public:
    // The text for these numbered ports; `states` holds the state of each
    // port's device, by NumberedPort::device. `awaited` is the port whose
    // vanished device the console waits for: its number's line shows that
    // device, waiting, whatever the number names now.
    static QString text(const QList<PortNumber::NumberedPort> &ports,
                        const QHash<QString, PortState> &states,
                        const std::optional<PortNumber::NumberedPort> &awaited = {},
                        PortNumber::Scheme scheme = PortNumber::kNativeScheme);

    // The text for the ports of `ports` as they are now.
    static QString current(const PortDirectory &ports,
                           const std::optional<PortNumber::NumberedPort> &awaited = {});

    // Shows the tooltip for `widget` at `globalPos`, read afresh unless it is
    // already showing there.
    static void show(const QPoint &globalPos, QWidget *widget, const PortDirectory &ports,
                     const std::optional<PortNumber::NumberedPort> &awaited = {});

private:
    static QString stateText(const PortState &state);
};
