#pragma once

#include <QCoreApplication>
#include <QString>

#include <deque>

// How much the device sent since the port was opened, and how fast, as the
// caption line of the "Dane" frame shows it: "Odebrano: 1 234 567 B ·
// 958 B/s". The rate is the bytes of the last RateWindowMs over that time,
// idle time included, from totals noted a few times a second (sample()):
// the total at the window's start lies between two samples. The caller may
// stop sampling once the whole window was idle (isIdle()); it then notes a
// sample at the moment bytes come again, before adding them, so that the
// pause between the two samples counts as the silence it was. Adding a
// chunk's bytes is one addition, so the receive handler pays nothing for
// it. It reads no clock: the caller gives the time (a monotonic clock's
// milliseconds), so tests drive it without a window.
class ReceiveCounter {
    Q_DECLARE_TR_FUNCTIONS(ReceiveCounter)

public:
    static constexpr qint64 RateWindowMs = 2000;

    // The port was opened: counting starts again from nothing.
    void restart(qint64 nowMs);
    void add(qint64 bytes) { m_total += bytes; }
    qint64 total() const { return m_total; }

    // Notes the total at nowMs.
    void sample(qint64 nowMs);
    // Bytes a second over the window that ends at the last sample.
    qint64 rate() const;
    // Nothing came in the whole window: sampling may stop until bytes come.
    bool isIdle() const { return rate() == 0 && m_samples.back().total == m_total; }

    QString text() const;
    // "1 234 567": groups of three digits, a space between.
    static QString grouped(qint64 value);

private:
    struct Sample {
        qint64 ms;
        qint64 total;
    };
    std::deque<Sample> m_samples{{0, 0}};
    qint64 m_total = 0;
};
