#include "framepacer.h"

#include <QTimerEvent>

#include <algorithm>

FramePacer::FramePacer(QObject *parent) : QObject(parent) {}

void FramePacer::schedule() {
    if (m_frameTimer.isActive())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : FrameMs;
    const int wait = int(std::clamp<qint64>(FrameMs - since, 0, FrameMs));
    // Text that comes within a frame of the last one is a stream.
    m_streaming = wait > 0;
    m_frameTimer.start(wait, Qt::PreciseTimer, this);
}

void FramePacer::synced() {
    m_frameTimer.stop();
    m_sinceFrame.start();
}

void FramePacer::barSynced() {
    m_barTimer.stop();
    m_sinceBar.start();
}

void FramePacer::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_frameTimer.timerId()) {
        // A frame of a stream leaves the bar as it is until its time comes:
        // the bar keeps telling that the view is at the end. Text that comes
        // now and then brings the bar up to date at once.
        const bool barWaits = m_streaming && m_sinceBar.isValid() && m_sinceBar.elapsed() < BarMs;
        if (barWaits && !m_barTimer.isActive())
            m_barTimer.start(int(qMax<qint64>(1, BarMs - m_sinceBar.elapsed())), this);
        emit frameDue(barWaits ? Bar::Later : Bar::Now);
    } else if (event->timerId() == m_barTimer.timerId()) {
        m_barTimer.stop();
        emit barDue();
    } else {
        QObject::timerEvent(event);
    }
}
