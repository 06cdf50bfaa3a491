#include "porttip.h"

#include "uilog.h"

#include <QToolTip>

#include <algorithm>

QString PortTip::stateText(const PortState &state) {
    switch (state.kind) {
        case PortState::Free:
            return tr("wolny");
        case PortState::InUse:
            if (state.pid > 0 && !state.program.isEmpty())
                return tr("zajęty przez inny program (%1, PID %2)")
                    .arg(state.program)
                    .arg(state.pid);
            if (state.pid > 0)
                return tr("zajęty przez inny program (PID %1)").arg(state.pid);
            return tr("zajęty przez inny program");
        case PortState::OpenHere:
            return tr("otwarty w tym programie");
        case PortState::NoPermission:
            return tr("brak uprawnień: dołącz do grupy %1 i zaloguj się ponownie").arg(state.group);
        case PortState::Missing:
            return tr("brak urządzenia");
        case PortState::Unknown:
            break;
    }
    return {};
}

QString PortTip::text(const QList<PortNumber::NumberedPort> &ports,
                      const QHash<QString, PortState> &states,
                      const std::optional<PortNumber::NumberedPort> &awaited,
                      PortNumber::Scheme scheme) {
    QList<PortNumber::NumberedPort> listed = ports;
    if (awaited) {
        auto at = std::find_if(listed.begin(), listed.end(),
                               [&](const auto &entry) { return entry.number >= awaited->number; });
        if (at != listed.end() && at->number == awaited->number) {
            const auto hidden = at->hidden;
            *at = *awaited;
            at->hidden = hidden;
        } else {
            listed.insert(at, *awaited);
        }
    }
    if (listed.isEmpty())
        return tr("Nie znaleziono żadnego portu szeregowego.");

    QStringList lines{tr("Numery portów:")};
    for (const PortNumber::NumberedPort &entry : listed) {
        QStringList parts{entry.device};
        if (entry.port) {
            QStringList about;
            for (const QString &field : {entry.port->description, entry.port->manufacturer})
                if (!field.isEmpty() && !about.contains(field))
                    about << field;
            if (!entry.port->serialNumber.isEmpty())
                about << tr("nr seryjny %1").arg(entry.port->serialNumber);
            if (!about.isEmpty())
                parts << about.join(QStringLiteral(", "));
            if (!entry.port->byId.isEmpty())
                parts << entry.port->byId.join(QStringLiteral(", "));
        }
        if (entry.mapped) {
            const QString variable = PortNumber::mappingVariable(entry.number);
            parts << (entry.hidden ? tr("przypisany (%1, zamiast %2)")
                                         .arg(variable, entry.hidden->systemLocation)
                                   : tr("przypisany (%1)").arg(variable));
        }
        const QString state = awaited && entry.number == awaited->number
                                  ? tr("czeka na ponowne podłączenie")
                                  : stateText(states.value(entry.device));
        if (!state.isEmpty())
            parts << state;
        lines << QStringLiteral("%1: %2").arg(entry.number).arg(parts.join(QStringLiteral(" — ")));
    }
    if (scheme == PortNumber::Scheme::Ordered)
        lines << tr("Kolejność: wbudowane (ttyS…), USB (ttyUSB…), USB CDC (ttyACM…), pozostałe.");
    return lines.join(u'\n');
}

QString PortTip::current(const PortDirectory &ports,
                         const std::optional<PortNumber::NumberedPort> &awaited) {
    const QList<PortNumber::NumberedPort> numbered = ports.numbered();
    QHash<QString, PortState> states;
    for (const PortNumber::NumberedPort &entry : numbered)
        states.insert(entry.device, PortState::probe(entry.device));
    return text(numbered, states, awaited);
}

void PortTip::show(const QPoint &globalPos, QWidget *widget, const PortDirectory &ports,
                   const std::optional<PortNumber::NumberedPort> &awaited) {
    // While it shows, moving the mouse must not read the system again.
    static QString shown;
    if (QToolTip::isVisible() && !shown.isEmpty() && QToolTip::text() == shown) {
        QToolTip::showText(globalPos, shown, widget);
        return;
    }
    const QString plain = current(ports, awaited);
    qCDebug(lcUi).noquote() << "port number tooltip:\n" + plain;
    // Rich text that keeps each line whole: a tooltip would wrap plain text.
    shown = QStringLiteral("<p style=\"white-space:pre\">%1</p>")
                .arg(plain.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    QToolTip::showText(globalPos, shown, widget);
}
