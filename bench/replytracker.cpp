#include "replytracker.h"

#include "benchstats.h"

void ReplyTracker::add(qint64 end, qint64 sentNs) {
    std::lock_guard lock(m_mutex);
    m_incoming.push_back({end, sentNs});
}

void ReplyTracker::paintStarted(qint64 consumed) {
    m_framePaintedUpTo = qMax(m_framePaintedUpTo, consumed);
}

void ReplyTracker::frameDone(qint64 nowNs) {
    m_paintedUpTo = qMax(m_paintedUpTo, m_framePaintedUpTo);
    m_framePaintedUpTo = -1;
    takeIncoming();
    while (!m_pending.empty() && m_pending.front().end <= m_paintedUpTo) {
        m_latenciesMs.push_back(double(nowNs - m_pending.front().sentNs) / 1e6);
        m_pending.pop_front();
    }
}

int ReplyTracker::waiting() {
    takeIncoming();
    return int(m_pending.size());
}

ReplyTracker::Summary ReplyTracker::summary(qint64 nowNs) {
    takeIncoming();
    std::vector<double> all = m_latenciesMs;
    for (const Pending &p : m_pending) all.push_back(double(nowNs - p.sentNs) / 1e6);
    Summary s;
    s.count = int(all.size());
    s.unresolved = int(m_pending.size());
    if (!all.empty()) {
        s.medianMs = BenchStats::median(all);
        s.p99Ms = BenchStats::percentile(std::move(all), 99.0);
    }
    return s;
}

void ReplyTracker::takeIncoming() {
    std::lock_guard lock(m_mutex);
    for (const Pending &p : m_incoming) m_pending.push_back(p);
    m_incoming.clear();
}
