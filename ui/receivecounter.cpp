#include "receivecounter.h"

void ReceiveCounter::restart(qint64 nowMs) {
    m_total = 0;
    m_samples = {{nowMs, 0}};
}

void ReceiveCounter::sample(qint64 nowMs) {
    m_samples.push_back({nowMs, m_total});
    // The oldest sample kept is the last one at or before the window's start.
    while (m_samples.size() > 2 && m_samples[1].ms <= nowMs - RateWindowMs) m_samples.pop_front();
}

qint64 ReceiveCounter::rate() const {
    const Sample &last = m_samples.back();
    const qint64 start = last.ms - RateWindowMs;
    // The total at the window's start. Before the first sample (the port's
    // opening) nothing came; between two samples the bytes are taken as
    // spread evenly, which is exact across a pause, when none came.
    const Sample &first = m_samples.front();
    qint64 before = first.total;
    if (first.ms < start && m_samples.size() > 1) {
        const Sample &next = m_samples[1];
        before += (next.total - first.total) * (start - first.ms) / (next.ms - first.ms);
    }
    return (last.total - before) * 1000 / RateWindowMs;
}

QString ReceiveCounter::text() const {
    return tr("Odebrano: %1 B · %2 B/s").arg(grouped(m_total), grouped(rate()));
}

QString ReceiveCounter::grouped(qint64 value) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0 && digits.at(at - 1).isDigit(); at -= 3)
        digits.insert(at, u' ');
    return digits;
}
