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
    const Sample &first = m_samples.front();
    const Sample &last = m_samples.back();
    if (last.ms <= first.ms)
        return 0;
    return (last.total - first.total) * 1000 / (last.ms - first.ms);
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
