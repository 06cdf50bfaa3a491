#pragma once

#include "card.h"
#include "deviceclock.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// The logger's controller: reads command lines, answers them, keeps the card
// and the clock. Knows nothing of ports; the server feeds it the bytes that
// arrive and sends what it returns.
//
// A command line ends with CR or LF, so CR LF ends it too: the LF ends an
// empty line, and empty lines get no reply. Every reply line ends with
// CR LF. A command line longer than MaxLineLength bytes (mnemonic included)
// is refused as a whole with "ERR LINE TOO LONG".
class Device {
public:
    static constexpr qsizetype MaxLineLength = 1024;

    explicit Device(qint64 cardSize = Card::DefaultSize);

    Card &card() { return m_card; }
    const Card &card() const { return m_card; }
    DeviceClock &clock() { return m_clock; }

    // Takes bytes in any pieces; returns the replies of the commands that
    // the bytes completed.
    QByteArray receive(QByteArrayView bytes);

    // Called once for every command answered, with the command line (without
    // its end) and the whole reply.
    using Trace = std::function<void(const QByteArray &command, const QByteArray &reply)>;
    void setTrace(Trace trace) { m_trace = std::move(trace); }

private:
    QByteArray execute(const QByteArray &line);
    QByteArray cardCommand(const QByteArray &mnemonic, const QByteArray &argument);
    QByteArray setTime(const QByteArray &argument);
    QByteArray setDate(const QByteArray &argument);
    QByteArray timeStamp() const;

    Card m_card;
    DeviceClock m_clock;
    QByteArray m_pending;
    bool m_tooLong = false;
    Trace m_trace;
};
