#include "stallmeter.h"

#include "procstats.h"

StallMeter::StallMeter(int intervalMs, QObject *parent)
    : QObject(parent), m_intervalNs(qint64(intervalMs) * 1'000'000) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StallMeter::tick);
}

void StallMeter::start() {
    m_longestNs = 0;
    m_lastNs = ProcStats::monotonicNs();
    m_timer.start();
}

void StallMeter::stop() {
    // A stall that lasted until now counts as well.
    tick();
    m_timer.stop();
}

void StallMeter::tick() {
    const qint64 now = ProcStats::monotonicNs();
    m_longestNs = qMax(m_longestNs, now - m_lastNs - m_intervalNs);
    m_lastNs = now;
}
